#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xps2img/platform/platform.h"
#include "xps2img/writers/image_format.h"

// Where one page's image goes: written under `temporary`, then moved to `final`.
struct PageFile {
  std::string final;
  std::string temporary;
};

// The name of page `page` (from 1): stem, page number, the copy suffix " (n)" when copy > 1,
// extension. PageFileName("图", 3, 2, ".jpeg") is "图3 (2).jpeg".
std::string PageFileName(std::string_view stem, int page, int copy, std::string_view extension);

// One document's names, reserved for this converter for as long as it lives.
struct Reservation {
  std::vector<PageFile> files;
  // The document's reservation: a hidden file `.STEM (n).EXT.lock` that one live converter at
  // a time holds.
  std::unique_ptr<platform::HeldFile> hold;
};

// Reserves the names for pages 1..count in `folder` under the first copy number whose names
// are all free: its reservation is not held by a live converter, no file has a final name
// (for JPEG, in either spelling .jpeg or .jpg), and no live converter writes a temporary name.
// Temporary files a dead converter left are removed on the way; each page's temporary file is
// made only when the page is written. Throws Failure when no names can be reserved.
Reservation ReserveNames(const std::string& folder, std::string_view stem, int count,
                         const FormatChoice& format);
