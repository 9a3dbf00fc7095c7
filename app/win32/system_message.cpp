#include "app/win32/system_message.h"

#include "app/win32/scoped.h"
#include "app/win32/wide.h"
#include "base/decimal_text.h"

std::u16string SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const scoped::LocalMemory<wchar_t> owned(buffer);
  std::u16string text = length == 0 ? std::u16string() : Utf16({buffer, length});
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
    text.pop_back();
  }
  if (text.empty()) text = u"系统错误 " + DecimalText(error);
  return text;
}
