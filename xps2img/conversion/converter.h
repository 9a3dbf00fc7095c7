#pragma once

#include "xps2img/conversion/conversion_end.h"
#include "xps2img/conversion/options.h"

// Renders every page of the source document into the output folder. Progress goes to
// standard output, one line per page written; errors to standard error, one line each.
ConversionEnd Convert(const Options& options);
