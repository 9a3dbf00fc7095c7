#pragma once

#include <QWidget>

#include "base/desktop.h"

// The Desktop of the Linux tool: Qt's dialogs and message boxes, POSIX processes and files.
class PosixDesktop : public Desktop {
 public:
  // The window that owns the dialogs and boxes; null until the main window exists.
  void SetOwner(QWidget* owner) { owner_ = owner; }

  PathStyle Style() const override { return PathStyle::Posix; }
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
  QWidget* owner_ = nullptr;
};
