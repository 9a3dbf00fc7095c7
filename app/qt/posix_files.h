#pragma once

#include <string>
#include <string_view>

// Creates the file `path` holding `bytes`, never replacing one. Returns 0 when done, EEXIST
// when the name is taken, and otherwise the errno of the failure; a file that could not be
// written in full is removed again.
int CreateExclusive(const std::string& path, std::string_view bytes);
