#include "app/win32/system_message.h"

#include "app/win32/wide.h"
#include "base/decimal_text.h"
#include "base/system_error_text_win32.h"

std::u16string SystemMessage(DWORD error) {
  std::u16string text = Utf16(SystemErrorText(error));
  if (text.empty()) text = u"系统错误 " + DecimalText(error);
  return text;
}
