#pragma once

#include <mupdf/fitz.h>

#include <cstddef>

// The process's one top-level MuPDF context (Little CMS allows no second), which owns the store
// of `storeBytes` (the first call's). Made on the first call; nullptr if MuPDF could not make
// it. Each document and each renderer works with a clone of it; itself, it only clones and
// drops display lists, and lives as long as the process.
fz_context* SharedMupdfContext(std::size_t storeBytes);

// The same context, once made.
fz_context* SharedMupdfContext();
