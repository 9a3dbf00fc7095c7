#pragma once

#include <cstddef>
#include <cstdint>

// The cap on MuPDF's memory when --memory-mb is not given: converters holding all `slots`
// render slots of the machine at once stay within half of its `physical` memory. At most
// 2 GiB (1 GiB in a 32-bit process), which no real page comes near, and at least 256 MiB.
std::size_t DefaultMemoryCap(std::uint64_t physical, int slots);
