#pragma once

#include <mupdf/fitz.h>

// The first image on a display list that declares more pixels than allowed: found before
// anything decodes it, so that a huge image costs nothing.
struct HugeImage {
  int width = 0, height = 0;  // 0 when there is none
};

// Runs `list` through a device that stops at the first image of more than `maxPixels` pixels
// and notes it in `huge`; false if MuPDF failed. A C-style MuPDF stage (see engine_guard.h).
bool FindHugeImage(fz_context* ctx, fz_display_list* list, double maxPixels, HugeImage* huge,
                   fz_cookie* cookie);
