#pragma once

#include <string>

#include "xps2img/engine.h"

// The largest page the converter writes. Each side fits JPEG (65500) and GIF (65535); 500
// million pixels keep a BMP under 1.5 GB.
inline constexpr PixelLimit kPixelLimit{65000, 500e6};

// The reason a page is refused at `dpi`, as the messages give it.
std::string TooLargeText(const PageTooLarge& e, int dpi);
