#pragma once

#include <string>
#include <vector>

#include "xps2img/conversion/converter.h"

// The converter proper, called by the platform's entry point (main_posix.cpp, main_win32.cpp)
// with the arguments as UTF-8: prints help or the version, or converts. Returns the exit
// status, and whether work was left behind, so that the process must end at once.
ConversionEnd RunConverter(const std::vector<std::string>& arguments);
