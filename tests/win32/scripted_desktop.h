#pragma once

#include <optional>
#include <string>

#include "app/win32/win32_desktop.h"

// The real Win32 Desktop with the folder dialog answered and the tool's own path given, so
// that the converter started is the one beside that path.
class ScriptedDesktop : public Win32Desktop {
 public:
  ScriptedDesktop(std::u16string folder, std::u16string executable)
      : Win32Desktop(nullptr, nullptr),
        folder_(std::move(folder)),
        executable_(std::move(executable)) {}
  std::optional<std::u16string> ChooseFolder(std::u16string_view) override { return folder_; }
  std::u16string ExecutablePath() override { return executable_; }

 private:
  std::u16string folder_;
  std::u16string executable_;
};
