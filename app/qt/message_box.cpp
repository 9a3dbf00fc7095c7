#include "app/qt/message_box.h"

#include "app/form.h"
#include "app/qt/qt_text.h"

void ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, std::u16string_view text) {
  QMessageBox box(icon, ToQString(form::kAppTitle), ToQString(text), QMessageBox::Ok, owner);
  box.exec();
}
