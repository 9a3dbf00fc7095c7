#pragma once

#include "xps2img/options.h"

// The converter's exit status.
enum class ExitCode {
  kSuccess = 0,  // every page written
  kFailure = 1,  // the document, a page or the output failed; pages that could be written are
  kUsage = 2,    // the command line was wrong; nothing was read or written
};

// Renders every page of the source document into the output folder. Progress goes to
// standard output, one line per page written; errors to standard error, one line each.
ExitCode Convert(const Options& options);

// Ends the process at once with `code`, for when a thread was left inside MuPDF: nothing that
// MuPDF holds may be released under it, so no destructor runs.
[[noreturn]] void EndLeavingStuckWork(ExitCode code);
