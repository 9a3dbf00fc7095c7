#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xps2img/image_format.h"

// Where one page's image goes: written under `temporary`, then moved to `final`.
struct PageFile {
  std::string final;
  std::string temporary;
};

// The name of page `page` (from 1): stem, page number, the copy suffix " (n)" when copy > 1,
// extension. PageFileName("图", 3, 2, ".jpeg") is "图3 (2).jpeg".
std::string PageFileName(std::string_view stem, int page, int copy, std::string_view extension);

// Reserves the names for pages 1..count in `folder` under the first copy number whose names
// are all free: no file has a final name (for JPEG, in either spelling .jpeg or .jpg), and
// every temporary name could be created exclusively. The empty temporary files are the
// reservation, so converters running at once never pick the same names. On failure returns
// nothing and sets `error` to the reason; no file is left behind.
std::vector<PageFile> ReserveNames(const std::string& folder, std::string_view stem, int count,
                                   const FormatChoice& format, std::string& error);

// Removes the temporary files of the pages not yet moved into place.
void ReleaseNames(const std::vector<PageFile>& files);
