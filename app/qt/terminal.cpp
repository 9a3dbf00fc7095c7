#include "app/qt/terminal.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

std::vector<std::string> TerminalLauncher() {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    return {};
  }
  const QString named = qEnvironmentVariable("TERMINAL");
  QString program = named.isEmpty() ? QString() : QStandardPaths::findExecutable(named);
  if (program.isEmpty())
    program = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
  if (program.isEmpty()) return {};
  // Debian asks every x-terminal-emulator to run the program and arguments after -e, as xterm
  // does, and most emulators named in $TERMINAL do. gnome-terminal's -e takes the whole command
  // as one word; it takes them after "--".
  const bool gnome = QFileInfo(program).fileName() == QStringLiteral("gnome-terminal");
  return {program.toStdString(), gnome ? "--" : "-e"};
}
