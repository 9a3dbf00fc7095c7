#pragma once

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
