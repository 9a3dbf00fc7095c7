#include "app/win32/error_report.h"

#include "app/form.h"
#include "app/win32/wide.h"
#include "base/operation_error.h"

void ShowErrorReport(HWND owner, std::u16string_view message) {
  MessageBoxW(owner, Wide(ErrorReportText(message)).c_str(), Wide(form::kAppTitle).c_str(),
              MB_ICONERROR | MB_OK);
}
