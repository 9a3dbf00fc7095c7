#pragma once

#include <string>
#include <vector>

// What the operations see of the main window: the source list (the items of ListBox1), the
// texts of the two combo boxes and OutputDirectory. OutputDirectory is a plain text field of
// the window, kept here for every front end.
class FormState {
 public:
  virtual ~FormState() = default;

  virtual std::vector<std::u16string> SourceItems() const = 0;
  virtual void ReplaceSourceItems(const std::vector<std::u16string>& items) = 0;
  virtual std::u16string FormatText() const = 0;      // cbb1
  virtual std::u16string ResolutionText() const = 0;  // ComboBox1
  virtual std::u16string OutputDirectory() const { return outputDirectory_; }
  virtual void SetOutputDirectory(const std::u16string& folder) { outputDirectory_ = folder; }

 private:
  std::u16string outputDirectory_;
};
