// The converter's entry point on Windows: UTF-16 arguments, binary console streams.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/utf16_win32.h"
#include "xps2img/run.h"

int wmain(int argc, wchar_t** argv) {
  // No error dialog boxes: a converter that fails says so in its console and exits.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Utf8FromWide(argv[i]));
  ConversionEnd end = RunConverter(arguments);
  if (end.leftBehind) {
    // Work left inside MuPDF may still use what it holds: end at once, with no destructor.
    std::fflush(nullptr);
    std::_Exit(static_cast<int>(end.code));
  }
  return static_cast<int>(end.code);
}
