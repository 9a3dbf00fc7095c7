#pragma once

#include <cstddef>

#include "xps2img/options.h"

// MuPDF's cache of fonts and images per converter, bounded so that fifty converters at once
// stay well inside the machine's memory.
inline constexpr std::size_t kMupdfStoreBytes = std::size_t{32} << 20;

// The converter's exit status.
enum class ExitCode {
  kSuccess = 0,  // every page written
  kFailure = 1,  // the document, a page or the output failed; pages that could be written are
  kUsage = 2,    // the command line was wrong; nothing was read or written
};

// How a conversion ended.
struct ConversionEnd {
  ExitCode code;
  // Work was left behind: a thread inside MuPDF, or one in line for a render slot. What it uses
  // is kept alive, never released, and the process must end at once, running no destructor.
  bool leftBehind = false;
};

// Renders every page of the source document into the output folder. Progress goes to
// standard output, one line per page written; errors to standard error, one line each.
ConversionEnd Convert(const Options& options);
