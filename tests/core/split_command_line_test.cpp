#include <gtest/gtest.h>

#include "convert/command.h"

namespace {

using Args = std::vector<std::u16string>;

TEST(SplitCommandLine, ProgramPathTakesNoEscapes) {
  EXPECT_EQ(SplitCommandLine(u""), Args{});
  EXPECT_EQ(SplitCommandLine(u"prog"), Args{u"prog"});
  EXPECT_EQ(SplitCommandLine(u"\"C:\\a b\\\" x"), (Args{u"C:\\a b\\", u"x"}));
  EXPECT_EQ(SplitCommandLine(u"C:\\a\\\"b c"), (Args{u"C:\\a\\\"b", u"c"}));
  EXPECT_EQ(SplitCommandLine(u"\"a\"b c"), (Args{u"a", u"b", u"c"}));
  EXPECT_EQ(SplitCommandLine(u"\"unterminated"), Args{u"unterminated"});
  EXPECT_EQ(SplitCommandLine(u"p\t \t"), Args{u"p"});
}

TEST(SplitCommandLine, FollowsTheBackslashAndQuoteRules) {
  EXPECT_EQ(SplitCommandLine(u"p a  b\tc "), (Args{u"p", u"a", u"b", u"c"}));
  EXPECT_EQ(SplitCommandLine(u"p \"a b\" \"\""), (Args{u"p", u"a b", u""}));
  EXPECT_EQ(SplitCommandLine(u"p a\\b c\\\\"), (Args{u"p", u"a\\b", u"c\\\\"}));
  // 2n backslashes before a quote: n backslashes, the quote opens or closes.
  EXPECT_EQ(SplitCommandLine(u"p \"E:\\\\\" -f"), (Args{u"p", u"E:\\", u"-f"}));
  EXPECT_EQ(SplitCommandLine(u"p a\\\\\\\\\"b c\""), (Args{u"p", u"a\\\\b c"}));
  // 2n+1 backslashes before a quote: n backslashes and a literal quote.
  EXPECT_EQ(SplitCommandLine(u"p a\\\"b"), (Args{u"p", u"a\"b"}));
  EXPECT_EQ(SplitCommandLine(u"p a\\\\\\\"b"), (Args{u"p", u"a\\\"b"}));
  // The unmended drive root: the quote is escaped and the rest joins one argument.
  EXPECT_EQ(SplitCommandLine(u"p \"E:\\\" -f png"), (Args{u"p", u"E:\" -f png"}));
  // A run of quotes, counting the one that opened: every third is literal and leaves the
  // quoted part, so a later quote opens a new one.
  EXPECT_EQ(SplitCommandLine(u"p \"a\"\"b\" c"), (Args{u"p", u"a\"b c"}));
  EXPECT_EQ(SplitCommandLine(u"p \"\"\"\" x"), (Args{u"p", u"\" x"}));
  EXPECT_EQ(SplitCommandLine(u"p \"\"\" x"), (Args{u"p", u"\"", u"x"}));
  EXPECT_EQ(SplitCommandLine(u"p a\"b c\"d e"), (Args{u"p", u"ab cd", u"e"}));
  EXPECT_EQ(SplitCommandLine(u"p 图 \"Ω x\""), (Args{u"p", u"图", u"Ω x"}));
}

}  // namespace
