#pragma once

#include <string>
#include <string_view>

// UTF-8 text as UTF-16. Each malformed sequence (a stray continuation byte, an overlong or
// surrogate encoding, a code point above U+10FFFF, a truncated sequence) becomes one U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);
