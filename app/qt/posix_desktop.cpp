#include "app/qt/posix_desktop.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <thread>

#include "app/dialog_filter.h"
#include "app/qt/message_box.h"
#include "app/qt/posix_files.h"
#include "app/qt/posix_process.h"
#include "app/qt/qt_text.h"
#include "app/qt/terminal.h"
#include "base/operation_error.h"

namespace {

// "XPS文件|*.xps;*.oxps" becomes "XPS文件 (*.xps *.oxps)": several patterns of one row are
// separated by ";" in the table and by blanks in Qt.
QString QtNameFilters(std::u16string_view filter) {
  QStringList rows;
  for (const FilterRow& row : ParseDialogFilter(filter)) {
    const QString patterns = ToQString(row.pattern).replace(u';', u' ');
    rows << QStringLiteral("%1 (%2)").arg(ToQString(row.description), patterns);
  }
  return rows.join(QStringLiteral(";;"));
}

}  // namespace

std::optional<FileSelection> PosixDesktop::ChooseFiles(std::u16string_view filter) {
  const QStringList paths =
      QFileDialog::getOpenFileNames(owner_, QString(), QString(), QtNameFilters(filter));
  if (paths.isEmpty()) return std::nullopt;
  FileSelection selection;
  for (const QString& path : paths) selection.names.push_back(ToU16(path));
  return selection;
}

std::optional<std::u16string> PosixDesktop::ChooseFolder(std::u16string_view title) {
  // Always the home folder at first: left empty, Qt would open the folder visited last.
  // ReadOnly removes the button that makes a new folder.
  const QString folder =
      QFileDialog::getExistingDirectory(owner_, ToQString(title), QDir::homePath(),
                                        QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
  if (folder.isEmpty()) return std::nullopt;
  return ToU16(folder);
}

std::u16string PosixDesktop::ExecutablePath() {
  return ToU16(QCoreApplication::applicationFilePath());
}

// In a terminal window of its own where the desktop has a terminal emulator, as Windows gives
// the converter a console; otherwise without a window.
void PosixDesktop::StartProcess(std::u16string_view program,
                                const std::vector<ProgramArgument>& arguments) {
  if (program.empty()) return;
  std::vector<std::string> command = TerminalLauncher();
  command.push_back(ToUtf8(program));
  for (const std::u16string& argument : ArgumentList(arguments)) {
    command.push_back(ToUtf8(argument));
  }
  StartDetached(command, {});
}

bool PosixDesktop::FolderExists(std::u16string_view path) {
  struct stat status {};
  return stat(ToUtf8(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool PosixDesktop::CreateNewFile(std::u16string_view path, std::string_view bytes) {
  const int error = CreateExclusive(ToUtf8(path), bytes);
  if (error == 0) return true;
  if (error == EEXIST) return false;
  throw OperationError(
      CreateFileErrorMessage(path, ToU16(QString::fromLocal8Bit(std::strerror(error)))));
}

bool PosixDesktop::RunScript(std::u16string_view scriptPath, std::u16string_view folder,
                             std::chrono::milliseconds limit) {
  return RunDetachedAndWait({"/bin/sh", ToUtf8(scriptPath)}, ToUtf8(folder), limit);
}

void PosixDesktop::Pause(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

void PosixDesktop::RemoveFile(std::u16string_view path) { unlink(ToUtf8(path).c_str()); }

void PosixDesktop::ShowMessage(std::u16string_view text) {
  ShowMessageBox(owner_, QMessageBox::NoIcon, text);
}
