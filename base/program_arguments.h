#pragma once

#include <string>
#include <vector>

// One piece of what a program is started with.
struct ProgramArgument {
  enum class Kind {
    Whole,  // one argument, whatever it holds: a path with blanks stays one
    Words,  // text as typed: each word between blanks or tabs is one argument; blank text none
  };
  Kind kind;
  std::u16string text;

  bool operator==(const ProgramArgument&) const = default;
};

// A program to start, by its full path, and what it is started with.
struct ProgramCommand {
  std::u16string program;
  std::vector<ProgramArgument> arguments;

  bool operator==(const ProgramCommand&) const = default;
};

// The arguments as the program receives them, after its path: a whole argument as it is,
// words one by one.
std::vector<std::u16string> ArgumentList(const std::vector<ProgramArgument>& arguments);
