#pragma once

#include <cstdint>
#include <string>

// A number in decimal as UTF-16 text: a leading "-" when negative, no leading zeros.
std::u16string DecimalText(std::int64_t value);
