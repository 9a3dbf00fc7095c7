#pragma once

#include <string>
#include <string_view>
#include <vector>

// The window the converter runs in when it has one of its own: a console that no other process
// shares on Windows, a terminal whose session the converter leads on Linux (what a terminal
// emulator's -e gives it). There the title names the document and the pages written, and when
// anything went wrong the window shows a summary and stays open for a short countdown before
// the converter ends by itself; nothing waits for a key. Started from a shell's console or
// terminal, or with its output redirected, the converter sets no title and never lingers.
namespace console_window {

// The document is `source`, its images go to `outputFolder`: the title names the document.
void Begin(const std::string& source, const std::string& outputFolder);

// `written` of the document's `total` pages are written.
void PageWritten(int written, int total);

// An error line went to standard error: a failure, or what a page lost.
void ErrorPrinted(std::string_view line);

// The converter ends with `exitCode`: the outcome goes into the title, and when anything went
// wrong the summary and the countdown are shown.
void End(int exitCode);

// What the run did, as the title and the summary tell it.
struct Outcome {
  std::string source;
  std::string outputFolder;
  int written = 0;
  int total = 0;                    // 0 until a page is written
  std::vector<std::string> errors;  // the first error lines printed
  int moreErrors = 0;               // lines printed beyond those
};

// The window's title: the document's file name, then the progress, or the result once
// `exitCode` is given (not negative).
std::string TitleText(const Outcome& outcome, int exitCode = -1);

// The platform's part, in console_window_posix.cpp and console_window_win32.cpp.
struct Window {
  bool own = false;          // a window of the converter's own
  bool showsOutput = false;  // its standard output and error are that window
};
Window DetectWindow();
void SetTitle(const std::string& title);
// Writes `text` over the window's current line, leaving the cursor on it.
void RewriteLine(const std::string& text);

}  // namespace console_window
