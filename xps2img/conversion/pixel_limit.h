#pragma once

#include "xps2img/engine/engine.h"

// The largest page the converter writes. Each side fits JPEG (65500) and GIF (65535); 500
// million pixels keep a BMP under 1.5 GB.
inline constexpr PixelLimit kPixelLimit{65000, 500e6};
