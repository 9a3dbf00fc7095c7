#include "base/operation_error.h"

std::u16string ErrorReportText(std::u16string_view message) {
  std::u16string text(message);
  if (!text.empty() && text.back() > u'.') text += u'.';
  return text;
}

std::u16string CreateFileErrorMessage(std::u16string_view path, std::u16string_view reason) {
  std::u16string message = u"无法创建文件“";
  message += path;
  message += u"”：";
  message += reason;
  return message;
}
