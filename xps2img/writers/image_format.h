#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class ImageFormat { kJpeg, kPng, kTiff, kBmp, kGif };

// A format word as read from the command line, with the extension its files get.
struct FormatChoice {
  ImageFormat format;
  std::string extension;  // with the leading dot
};

// The format a word names, letter case ignored: jpeg, jpg, png, tiff, tif, bmp, gif.
// "jpg" and "tif" keep their own extension.
std::optional<FormatChoice> ParseFormat(std::string_view word);

// The accepted words, for messages: "jpeg、jpg、png、tiff、tif、bmp、gif"; with its extension after
// the first word of a format that has two: "jpeg（.jpeg）、jpg、...".
std::string FormatList(bool withExtensions);
