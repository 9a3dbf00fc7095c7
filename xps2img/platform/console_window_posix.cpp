#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "xps2img/platform/console_window.h"

namespace console_window {
namespace {

// Whether `fd` is the controlling terminal of a session this process leads.
bool LeadsTerminalOf(int fd) { return isatty(fd) && tcgetsid(fd) == getpid(); }

void Write(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

// A terminal emulator starts the program of its -e in a new session whose controlling terminal
// is the emulator's, with the standard streams on it: the program leads its session. Started
// from a shell, the shell leads the session; started with setsid or by the tool without a
// terminal, the process has no controlling terminal; with its output redirected, standard
// output or error is no terminal.
Window DetectWindow() {
  const bool own =
      getsid(0) == getpid() && LeadsTerminalOf(STDOUT_FILENO) && LeadsTerminalOf(STDERR_FILENO);
  return {own, own};
}

// The title escape (OSC 0) that terminal emulators read as the window's title.
void SetTitle(const std::string& title) { Write("\033]0;" + title + "\007"); }

// Back to the line's start, the text, and the rest of the line cleared.
void RewriteLine(const std::string& text) { Write("\r" + text + "\033[K"); }

}  // namespace console_window
