#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// UTF-8 text as Windows takes it, in UTF-16; malformed bytes become U+FFFD. Shared by the
// converter and the tests of the Windows programs.
inline std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), n);
  return wide;
}

// UTF-16 text as Windows gives it, in UTF-8.
inline std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), n, nullptr, nullptr);
  return utf8;
}
