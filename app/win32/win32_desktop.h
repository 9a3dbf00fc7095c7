#pragma once

#include <windows.h>

#include "base/desktop.h"

// The Desktop of the Windows tool. Dialogs and message boxes belong to the main window; the
// folder dialog belongs to the application's hidden owner window.
class Win32Desktop : public Desktop {
 public:
  Win32Desktop(HWND applicationWindow, HWND mainWindow)
      : application_(applicationWindow), main_(mainWindow) {}

  PathStyle Style() const override { return PathStyle::Windows; }
  std::optional<FileSelection> ChooseFiles(std::u16string_view filter) override;
  std::optional<std::u16string> ChooseFolder(std::u16string_view title) override;
  std::u16string ExecutablePath() override;
  void StartProcess(std::u16string_view program,
                    const std::vector<ProgramArgument>& arguments) override;
  bool FolderExists(std::u16string_view path) override;
  bool CreateNewFile(std::u16string_view path, std::string_view bytes) override;
  bool RunScript(std::u16string_view scriptPath, std::u16string_view folder,
                 std::chrono::milliseconds limit) override;
  void Pause(std::chrono::milliseconds duration) override;
  void RemoveFile(std::u16string_view path) override;
  void ShowMessage(std::u16string_view text) override;

 private:
  HWND application_;
  HWND main_;
};
