#include "base/utf8.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

TEST(Utf16FromUtf8, DecodesWellFormedTextAndReplacesEveryMalformedSequence) {
  const struct {
    std::string_view utf8;
    std::u16string_view utf16;
  } cases[] = {
      {"", u""},
      {"plain", u"plain"},
      {"图 Ω é", u"图 Ω é"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},  // four bytes: a surrogate pair
      {"a\x80z", u"a\uFFFDz"},              // stray continuation byte
      {"\xC0\xAF", u"\uFFFD\uFFFD"},        // overlong lead bytes
      {"\xE0\x80\xAF", u"\uFFFD"},          // overlong three-byte form
      {"\xED\xA0\x80", u"\uFFFD"},          // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD"},      // above U+10FFFF
      {"\xE5\x9B", u"\uFFFD"},              // truncated at the end
      {"\xE5\x9Bx", u"\uFFFDx"},            // truncated before a plain byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16) << c.utf8;
  }
}

}  // namespace
