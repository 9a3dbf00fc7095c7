#include "base/program_arguments.h"

std::vector<std::u16string> ArgumentList(const std::vector<ProgramArgument>& arguments) {
  std::vector<std::u16string> list;
  for (const ProgramArgument& argument : arguments) {
    if (argument.kind == ProgramArgument::Kind::Whole) {
      list.push_back(argument.text);
      continue;
    }
    std::u16string word;
    for (char16_t c : argument.text + u' ') {
      if (c != u' ' && c != u'\t') {
        word += c;
      } else if (!word.empty()) {
        list.push_back(std::move(word));
        word.clear();
      }
    }
  }
  return list;
}
