#include "app/qt/error_report.h"

#include "app/qt/message_box.h"
#include "base/operation_error.h"

void ShowErrorReport(QWidget* owner, std::u16string_view message) {
  ShowMessageBox(owner, QMessageBox::Critical, ErrorReportText(message));
}
