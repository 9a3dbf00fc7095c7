#include "base/utf8.h"

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// The length of the sequence that `lead` begins and the bits it carries; 0 for a byte that
// begins none.
int SequenceLength(unsigned char lead, char32_t& bits) {
  if (lead < 0x80) return bits = lead, 1;
  if (lead >= 0xC2 && lead <= 0xDF) return bits = lead & 0x1F, 2;
  if (lead >= 0xE0 && lead <= 0xEF) return bits = lead & 0x0F, 3;
  if (lead >= 0xF0 && lead <= 0xF4) return bits = lead & 0x07, 4;
  return 0;
}

// The smallest code point each length may carry: anything below is an overlong encoding.
constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    const int length = SequenceLength(static_cast<unsigned char>(text[i]), code);
    int taken = 1;
    while (length > 0 && taken < length && i + taken < text.size() &&
           (static_cast<unsigned char>(text[i + taken]) & 0xC0) == 0x80) {
      code = code << 6 | (static_cast<unsigned char>(text[i + taken]) & 0x3F);
      ++taken;
    }
    const bool valid = length > 0 && taken == length && code >= kMinimum[length] &&
                       code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (!valid) {
      result += kReplacement;
      i += length > 0 ? taken : 1;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      result += static_cast<char16_t>(0xD800 + (code >> 10));
      result += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      result += static_cast<char16_t>(code);
    }
    i += taken;
  }
  return result;
}
