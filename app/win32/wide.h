#pragma once

#include <string>
#include <string_view>

// wchar_t is UTF-16 on Windows, so the core's text and the system's text convert unit by unit.
inline std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }
inline std::u16string Utf16(std::wstring_view text) { return {text.begin(), text.end()}; }
