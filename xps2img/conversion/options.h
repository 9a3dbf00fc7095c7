#pragma once

#include <string>
#include <variant>
#include <vector>

#include "xps2img/writers/image_format.h"

// What one run converts, with the defaults used for a missing option.
struct Options {
  std::string source;
  std::string outputFolder;
  FormatChoice format{ImageFormat::kPng, ".png"};
  int dpi = 300;
  std::string stem = "图";
  // The cap on MuPDF's memory in MiB; 0 derives it from the machine (DefaultMemoryCap).
  int memoryMb = 0;
  // The time one page may take to load and render, in seconds.
  int pageSeconds = 120;
};

struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
  std::string message;  // one line in Chinese, without the program name
};

using ParsedArguments = std::variant<Options, ShowHelp, ShowVersion, UsageError>;

// Reads `SOURCE OUTPUT-FOLDER [-f FORMAT] [-d DPI] [-i STEM] [--memory-mb N]
// [--page-seconds N]`, the options in any order; an option's value is always the next argument,
// even when it begins with "-".
ParsedArguments ParseArguments(const std::vector<std::string>& arguments);
