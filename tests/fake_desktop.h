#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/decimal_text.h"
#include "base/desktop.h"
#include "base/form_state.h"

// A Desktop that answers from its fields and records every call, in order, as one line.
class FakeDesktop : public Desktop {
 public:
  PathStyle style = PathStyle::Windows;
  std::optional<FileSelection> fileAnswer;
  std::optional<std::u16string> folderAnswer;
  std::u16string executablePath = u"C:\\Tools\\Conv\\run.exe";
  std::vector<std::u16string> existingFolders;
  std::map<std::u16string, std::string> files;  // what the fake file system holds
  bool scriptGivesProcess = true;

  std::vector<std::u16string> calls;
  std::vector<ProgramCommand> started;  // each program started, with its arguments

  PathStyle Style() const override { return style; }
  std::optional<FileSelection> ChooseFiles(std::u16string_view filter) override {
    calls.push_back(u"ChooseFiles " + std::u16string(filter));
    return fileAnswer;
  }
  std::optional<std::u16string> ChooseFolder(std::u16string_view title) override {
    calls.push_back(u"ChooseFolder " + std::u16string(title));
    return folderAnswer;
  }
  std::u16string ExecutablePath() override {
    calls.push_back(u"ExecutablePath");
    return executablePath;
  }
  void StartProcess(std::u16string_view program,
                    const std::vector<ProgramArgument>& arguments) override {
    calls.push_back(u"StartProcess");
    started.push_back({std::u16string(program), arguments});
  }
  bool FolderExists(std::u16string_view path) override {
    calls.push_back(u"FolderExists " + std::u16string(path));
    for (const auto& folder : existingFolders) {
      if (folder == path) return true;
    }
    return false;
  }
  bool CreateNewFile(std::u16string_view path, std::string_view bytes) override {
    calls.push_back(u"CreateNewFile " + std::u16string(path));
    if (files.contains(std::u16string(path))) return false;
    files[std::u16string(path)] = std::string(bytes);
    return true;
  }
  bool RunScript(std::u16string_view scriptPath, std::u16string_view folder,
                 std::chrono::milliseconds limit) override {
    calls.push_back(u"RunScript " + std::u16string(scriptPath) + u" in " + std::u16string(folder) +
                    u" for " + DecimalText(limit.count()));
    return scriptGivesProcess;
  }
  void Pause(std::chrono::milliseconds duration) override {
    calls.push_back(u"Pause " + DecimalText(duration.count()));
  }
  void RemoveFile(std::u16string_view path) override {
    calls.push_back(u"RemoveFile " + std::u16string(path));
    files.erase(std::u16string(path));
  }
  void ShowMessage(std::u16string_view text) override {
    calls.push_back(u"ShowMessage " + std::u16string(text));
  }
};

// The main window's state as plain fields.
class FakeForm : public FormState {
 public:
  std::vector<std::u16string> items;
  std::u16string format = u"jpeg";
  std::u16string resolution = u"300";
  std::u16string outputDirectory;
  mutable int resolutionReads = 0;

  std::vector<std::u16string> SourceItems() const override { return items; }
  void ReplaceSourceItems(const std::vector<std::u16string>& newItems) override {
    items = newItems;
  }
  std::u16string FormatText() const override { return format; }
  std::u16string ResolutionText() const override {
    ++resolutionReads;
    return resolution;
  }
  std::u16string OutputDirectory() const override { return outputDirectory; }
  void SetOutputDirectory(const std::u16string& folder) override { outputDirectory = folder; }
};
