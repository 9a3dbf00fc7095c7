#pragma once

#include <cstddef>

#include "xps2img/conversion/conversion_end.h"
#include "xps2img/conversion/options.h"

// MuPDF's cache of fonts and images per converter, bounded so that fifty converters at once
// stay well inside the machine's memory.
inline constexpr std::size_t kMupdfStoreBytes = std::size_t{32} << 20;

// Renders every page of the source document into the output folder. Progress goes to
// standard output, one line per page written; errors to standard error, one line each.
ConversionEnd Convert(const Options& options);
