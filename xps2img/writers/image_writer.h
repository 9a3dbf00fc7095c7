#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "xps2img/platform/failure.h"
#include "xps2img/writers/image_format.h"

struct ImageShape {
  int width;
  int height;
  int dpi;
  // The rows arrive grey, one byte a pixel, to be stored in one channel, which makes the file
  // smaller and quicker to write (only for formats where StoresGrey). Else RGB, 3 bytes a pixel.
  bool grey = false;

  // The resolution in pixels per metre, as PNG and BMP store it.
  std::uint32_t PixelsPerMetre() const { return static_cast<std::uint32_t>(dpi / 0.0254 + 0.5); }
};

// Whether the format can store a grey image in one channel.
bool StoresGrey(ImageFormat format);

// A failure of an encoder or of writing its file; the message is the reason.
class EncodeError : public Failure {
  using Failure::Failure;
};

// Takes the first channel of `width` RGB pixels into `grey`; false, with `grey` part written, at
// the first pixel whose channels differ.
bool RgbToGrey(const std::uint8_t* rgb, int width, std::uint8_t* grey);

// Encodes an image that arrives as bands of rows, top to bottom, grey or RGB (ImageShape).
// Throws EncodeError on failure.
class ImageWriter {
 public:
  virtual ~ImageWriter() = default;

  // How often the image's rows must be supplied in full; each pass starts at row 0.
  virtual int Passes() const { return 1; }
  virtual void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) = 0;
  // Where a writer that holds the whole image keeps the next `count` rows, given in its own
  // form (grey or RGB), which the caller then fills in place of WriteRows; `stride` is set to
  // the distance between them. Null, with nothing changed, for a writer that does not.
  virtual std::uint8_t* NextRows(int /*count*/, std::ptrdiff_t* /*stride*/) { return nullptr; }
  // Completes the file after the last row of the last pass.
  virtual void Finish() = 0;
};

// A writer for `format` that writes into `file`, which stays owned by the caller.
std::unique_ptr<ImageWriter> NewImageWriter(ImageFormat format, std::FILE* file,
                                            const ImageShape& shape);

std::unique_ptr<ImageWriter> NewJpegWriter(std::FILE* file, const ImageShape& shape);
// PNG gathers the rows of a page of at most `wholeImageLimit` bytes and compresses them at
// once, which is twice as fast; a larger page streams, compressed row by row.
inline constexpr std::size_t kPngWholeImageBytes = std::size_t{32} << 20;
std::unique_ptr<ImageWriter> NewPngWriter(std::FILE* file, const ImageShape& shape,
                                          std::size_t wholeImageLimit = kPngWholeImageBytes);
std::unique_ptr<ImageWriter> NewTiffWriter(std::FILE* file, const ImageShape& shape);
std::unique_ptr<ImageWriter> NewBmpWriter(std::FILE* file, const ImageShape& shape);
std::unique_ptr<ImageWriter> NewGifWriter(std::FILE* file, const ImageShape& shape);
