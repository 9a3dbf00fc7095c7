// The converter's entry point on POSIX systems.
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "xps2img/run.h"

int main(int argc, char** argv) {
  // A reader that goes away must not end the conversion: progress lines are lost, not pages.
  std::signal(SIGPIPE, SIG_IGN);
#ifdef __GLIBC__
  // Memory a page freed serves the next page rather than going back to the system, to be
  // faulted in afresh: a converter lives for a few pages, and its largest blocks, which
  // page_memory keeps, are the only ones it might want to return.
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
  ConversionEnd end = RunConverter(std::vector<std::string>(argv + 1, argv + argc));
  if (end.leftBehind) {
    // Work left inside MuPDF may still use what it holds: end at once, with no destructor.
    std::fflush(nullptr);
    std::_Exit(static_cast<int>(end.code));
  }
  return static_cast<int>(end.code);
}
