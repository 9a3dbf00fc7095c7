#pragma once

#include <mupdf/fitz.h>

// MuPDF's stages, each a C-style function that holds its fz_try and no C++ object, and returns
// null, false or -1 when MuPDF failed (its message is then the context's caught one). The
// document and the renderer run them through a GuardedScope (engine_guard.h).

// Opens `path` as an XPS document, whatever its name.
fz_document* OpenXps(fz_context* ctx, const char* path);
// Opens the `size` bytes at `data` as an XPS document; they must outlive it.
fz_document* OpenXpsBytes(fz_context* ctx, const unsigned char* data, size_t size);

int CountPages(fz_context* ctx, fz_document* doc);

// Loads page `index` and its bounds.
fz_page* LoadPage(fz_context* ctx, fz_document* doc, int index, fz_rect* bounds);

// Records the page into a display list.
fz_display_list* ListPage(fz_context* ctx, fz_page* page, fz_rect bounds, fz_cookie* cookie);

// Whether the list draws anything in colour (images by their pixels): 0 when it is all grey, 2
// also when MuPDF failed.
int ColourOf(fz_context* ctx, fz_display_list* list, fz_cookie* cookie);

// An RGB pixmap over `box`, for bands.
fz_pixmap* NewBandPixmap(fz_context* ctx, fz_irect box);
// An RGB pixmap over `box` whose pixels are `samples`, rows `stride` bytes apart, which the
// caller owns.
fz_pixmap* NewPixmapOver(fz_context* ctx, fz_irect box, unsigned char* samples, int stride);

// Renders the part of `list` that falls on `pixmap`, whose position says which band it is.
bool DrawBand(fz_context* ctx, fz_display_list* list, fz_matrix ctm, fz_pixmap* pixmap,
              fz_cookie* cookie);
