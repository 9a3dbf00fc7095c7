#include "xps2img/image_format.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

struct Word {
  std::string_view word;
  ImageFormat format;
};

constexpr std::array<Word, 7> kWords{{{"jpeg", ImageFormat::kJpeg},
                                      {"jpg", ImageFormat::kJpeg},
                                      {"png", ImageFormat::kPng},
                                      {"tiff", ImageFormat::kTiff},
                                      {"tif", ImageFormat::kTiff},
                                      {"bmp", ImageFormat::kBmp},
                                      {"gif", ImageFormat::kGif}}};

}  // namespace

std::optional<FormatChoice> ParseFormat(std::string_view word) {
  std::string lower(word);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const Word& w : kWords) {
    if (w.word == lower) return FormatChoice{w.format, "." + lower};
  }
  return std::nullopt;
}

std::string_view FormatList() { return "jpeg、jpg、png、tiff、tif、bmp、gif"; }
