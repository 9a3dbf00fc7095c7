#pragma once

#include <stdexcept>
#include <string>

// The converter's one way to fail: an exception whose message says what went wrong, in
// Chinese, where a library's own text may follow. The engine, the encoders, the platform
// services and the naming throw it or a kind of it; what is expected (a name that is taken,
// a file another process holds) is a return value instead. The exit status is chosen once,
// where the run ends (Convert, PageRun, RunConverter).
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
