#include <QApplication>

#include "app/form.h"
#include "app/qt/form1.h"
#include "app/qt/posix_desktop.h"
#include "app/qt/qt_text.h"

int main(int, char** argv) {
  // The tool reads no command line: Qt is given the program's name alone.
  int argumentCount = 1;
  char* arguments[] = {argv[0], nullptr};
  QApplication application(argumentCount, arguments);
  QApplication::setApplicationName(ToQString(form::kAppTitle));

  PosixDesktop desktop;
  TForm1 form1(desktop);
  desktop.SetOwner(&form1);
  form1.show();
  return application.exec();
}
