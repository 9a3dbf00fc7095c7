#pragma once

#include <string>
#include <vector>

// The terminal emulator that shows a program in a window of its own, as the words that come
// before the program and its arguments, e.g. {"/usr/bin/xterm", "-e"}: the one $TERMINAL names
// when it is found on PATH (or is the path of a program), else Debian's x-terminal-emulator.
// Empty without a display (DISPLAY, WAYLAND_DISPLAY) or without either program: a terminal
// that cannot open a window would take the program down with it.
std::vector<std::string> TerminalLauncher();
