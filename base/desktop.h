#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"
#include "base/program_arguments.h"

// What an open-file dialog reported: a folder and names within it. A name that is already
// an absolute path stands on its own; an empty folder means every name does.
struct FileSelection {
  std::u16string folder;
  std::vector<std::u16string> names;
};

// The platform services that the three operations use. Each front end supplies the real
// one; tests drive the operations through a recording fake.
class Desktop {
 public:
  virtual ~Desktop() = default;

  virtual PathStyle Style() const = 0;

  // The modal open-file dialog owned by the main window, several files allowed; nothing
  // when the user cancels or the dialog fails.
  virtual std::optional<FileSelection> ChooseFiles(std::u16string_view filter) = 0;

  // The modal folder-browse dialog; nothing when the user cancels.
  virtual std::optional<std::u16string> ChooseFolder(std::u16string_view title) = 0;

  // The running executable's own full path.
  virtual std::u16string ExecutablePath() = 0;

  // Starts the program at `program` with `arguments` as an independent process and returns
  // at once. A start that fails is dropped silently: the tool never tracks its converters.
  virtual void StartProcess(std::u16string_view program,
                            const std::vector<ProgramArgument>& arguments) = 0;

  virtual bool FolderExists(std::u16string_view path) = 0;

  // Creates a new file holding `bytes`, never replacing one: false when the name is taken.
  // Any other failure throws OperationError naming the file and the system's reason.
  virtual bool CreateNewFile(std::u16string_view path, std::string_view bytes) = 0;

  // Has the platform's shell run a script with `folder` as its working directory and waits
  // for it to end, at most `limit`. False when the platform gave no process to wait on.
  virtual bool RunScript(std::u16string_view scriptPath, std::u16string_view folder,
                         std::chrono::milliseconds limit) = 0;

  // Blocks the user-interface thread.
  virtual void Pause(std::chrono::milliseconds duration) = 0;

  // Deletes a file; a failure is ignored.
  virtual void RemoveFile(std::u16string_view path) = 0;

  // A modal box captioned with the application title, one OK button and no icon.
  virtual void ShowMessage(std::u16string_view text) = 0;
};
