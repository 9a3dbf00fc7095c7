// libFuzzer's entry: each input is a document's bytes, driven as the converter drives a file.
// Besides what the sanitizers see, a fault of the converter's own ends the run (DriveFault).

#include <cstdio>
#include <cstdlib>

#include "fuzz/document_drive.h"

// UBSan's settings: every report but the few suppressed ends the run, with its stack.
extern "C" const char* __ubsan_default_options() {
  return "halt_on_error=1:print_stacktrace=1:suppressions=" FUZZ_DIR "/ubsan.supp";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DriveResult result = DriveDocument(data, size);
  std::string fault = DriveFault(result);
  if (!fault.empty()) {
    std::fprintf(stderr, "xps_fuzzer: %s (at %d dpi)\n", fault.c_str(), result.dpi);
    std::abort();
  }
  return 0;
}
