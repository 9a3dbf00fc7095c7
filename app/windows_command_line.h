#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/program_arguments.h"

// The Windows command line that starts `program` with `arguments`: the program and each whole
// argument in double quotes, escaped so that CommandLineToArgvW gives it back exactly; words
// as they stand, for Windows to split; one blank before each argument.
std::u16string WindowsCommandLine(std::u16string_view program,
                                  const std::vector<ProgramArgument>& arguments);
