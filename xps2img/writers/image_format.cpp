#include "xps2img/writers/image_format.h"

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

std::string FormatList(bool withExtensions) {
  std::string list;
  for (std::size_t i = 0; i < kWords.size(); ++i) {
    if (i > 0) list += "、";
    list += kWords[i].word;
    // Of a format's two words, listed side by side, the files of the first end in it.
    bool firstOfTwo = i + 1 < kWords.size() && kWords[i + 1].format == kWords[i].format &&
                      (i == 0 || kWords[i - 1].format != kWords[i].format);
    if (withExtensions && firstOfTwo) list += "（." + std::string(kWords[i].word) + "）";
  }
  return list;
}
