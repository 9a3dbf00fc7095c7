#pragma once

#include <string>
#include <string_view>
#include <vector>

// One row of an open-file dialog's filter: what the user reads and the pattern it stands for.
struct FilterRow {
  std::u16string description;
  std::u16string pattern;
};

// Reads a filter written as "description|pattern|description|pattern...".
std::vector<FilterRow> ParseDialogFilter(std::u16string_view filter);
