#include "xps2img/pixel_limit.h"

#include <cstdint>

std::string TooLargeText(const PageTooLarge& e, int dpi) {
  auto number = [](double n) { return std::to_string(static_cast<std::int64_t>(n)); };
  return "在 " + std::to_string(dpi) + " dpi 下为 " + number(e.width) + " × " + number(e.height) +
         " 像素，超过上限（每边最多 " + number(kPixelLimit.maxSide) + " 像素、共最多 " +
         number(kPixelLimit.maxPixels / 1e4) + " 万像素）";
}
