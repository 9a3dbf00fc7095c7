// The converter's entry point on POSIX systems.
#include <csignal>
#include <string>
#include <vector>

#include "xps2img/platform.h"

int main(int argc, char** argv) {
  // A reader that goes away must not end the conversion: progress lines are lost, not pages.
  std::signal(SIGPIPE, SIG_IGN);
  return RunConverter(std::vector<std::string>(argv + 1, argv + argc));
}
