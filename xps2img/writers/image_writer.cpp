#include "xps2img/writers/image_writer.h"

std::unique_ptr<ImageWriter> NewImageWriter(ImageFormat format, std::FILE* file,
                                            const ImageShape& shape) {
  switch (format) {
    case ImageFormat::kJpeg:
      return NewJpegWriter(file, shape);
    case ImageFormat::kPng:
      return NewPngWriter(file, shape);
    case ImageFormat::kTiff:
      return NewTiffWriter(file, shape);
    case ImageFormat::kBmp:
      return NewBmpWriter(file, shape);
    case ImageFormat::kGif:
      return NewGifWriter(file, shape);
  }
  throw EncodeError("unknown format");
}

bool StoresGrey(ImageFormat format) {
  return format == ImageFormat::kJpeg || format == ImageFormat::kPng ||
         format == ImageFormat::kTiff;
}

bool RgbToGrey(const std::uint8_t* rgb, int width, std::uint8_t* grey) {
  for (int x = 0; x < width; ++x, rgb += 3) {
    if (rgb[0] != rgb[1] || rgb[1] != rgb[2]) return false;
    grey[x] = rgb[0];
  }
  return true;
}
