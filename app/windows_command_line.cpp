#include "app/windows_command_line.h"

namespace {

// Encloses one argument in double quotes so that CommandLineToArgvW gives back exactly
// `text`: backslashes before an embedded quote or before the closing quote are doubled,
// and an embedded quote is escaped.
std::u16string QuoteArgument(std::u16string_view text) {
  std::u16string quoted = u"\"";
  std::size_t backslashes = 0;
  for (char16_t c : text) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      quoted.append(backslashes * 2 + 1, u'\\');
    } else {
      quoted.append(backslashes, u'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, u'\\');
  quoted += u'"';
  return quoted;
}

}  // namespace

std::u16string WindowsCommandLine(std::u16string_view program,
                                  const std::vector<ProgramArgument>& arguments) {
  std::u16string line = QuoteArgument(program);
  for (const ProgramArgument& argument : arguments) {
    line += u' ';
    line += argument.kind == ProgramArgument::Kind::Whole ? QuoteArgument(argument.text)
                                                          : argument.text;
  }
  return line;
}
