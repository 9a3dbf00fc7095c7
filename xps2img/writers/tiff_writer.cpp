#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "xps2img/platform/platform.h"
#include "xps2img/writers/image_writer.h"

namespace {

constexpr std::uint32_t kRowsPerStrip = 64;

// libtiff reaches the caller's FILE through these.
tmsize_t ReadFile(thandle_t, void*, tmsize_t) { return 0; }
tmsize_t WriteFile(thandle_t h, void* data, tmsize_t size) {
  return static_cast<tmsize_t>(
      std::fwrite(data, 1, static_cast<size_t>(size), static_cast<std::FILE*>(h)));
}
toff_t SeekFile(thandle_t h, toff_t offset, int whence) {
  auto* file = static_cast<std::FILE*>(h);
  if (!platform::Seek(file, static_cast<std::int64_t>(offset), whence)) {
    return static_cast<toff_t>(-1);
  }
  return static_cast<toff_t>(platform::Tell(file));
}
int CloseFile(thandle_t) { return 0; }
toff_t FileSize(thandle_t h) {
  auto* file = static_cast<std::FILE*>(h);
  std::int64_t here = platform::Tell(file);
  platform::Seek(file, 0, SEEK_END);
  std::int64_t size = platform::Tell(file);
  platform::Seek(file, here, SEEK_SET);
  return static_cast<toff_t>(size);
}
int MapFile(thandle_t, void**, toff_t*) { return 0; }
void UnmapFile(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char*, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  *static_cast<std::string*>(user) = text;
  return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

class TiffWriter : public ImageWriter {
 public:
  TiffWriter(std::FILE* file, const ImageShape& shape)
      : height_(static_cast<std::uint32_t>(shape.height)),
        grey_(shape.grey),
        rowBytes_(static_cast<std::size_t>(shape.width) * (grey_ ? 1 : 3)),
        strip_(rowBytes_ * kRowsPerStrip) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &error_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, nullptr);
    tiff_.reset(TIFFClientOpenExt("image", "w", file, ReadFile, WriteFile, SeekFile, CloseFile,
                                  FileSize, MapFile, UnmapFile, options));
    TIFFOpenOptionsFree(options);
    if (!tiff_) Fail();
    bool ok =
        TIFFSetField(tiff_.get(), TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(shape.width)) &&
        TIFFSetField(tiff_.get(), TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(shape.height)) &&
        TIFFSetField(tiff_.get(), TIFFTAG_SAMPLESPERPIXEL, grey_ ? 1 : 3) &&
        TIFFSetField(tiff_.get(), TIFFTAG_BITSPERSAMPLE, 8) &&
        TIFFSetField(tiff_.get(), TIFFTAG_PHOTOMETRIC,
                     grey_ ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) &&
        TIFFSetField(tiff_.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(tiff_.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
        TIFFSetField(tiff_.get(), TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
        TIFFSetField(tiff_.get(), TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
        TIFFSetField(tiff_.get(), TIFFTAG_ROWSPERSTRIP, kRowsPerStrip) &&
        TIFFSetField(tiff_.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
        TIFFSetField(tiff_.get(), TIFFTAG_XRESOLUTION, static_cast<float>(shape.dpi)) &&
        TIFFSetField(tiff_.get(), TIFFTAG_YRESOLUTION, static_cast<float>(shape.dpi));
    if (!ok) Fail();
  }
  // Whole strips go to libtiff at once: only then does its Deflate use libdeflate, some twice
  // as fast as zlib row by row.
  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    for (int i = 0; i < count; ++i, ++row_) {
      std::uint8_t* out = strip_.data() + (row_ % kRowsPerStrip) * rowBytes_;
      std::memcpy(out, rows + i * stride, rowBytes_);
      if ((row_ + 1) % kRowsPerStrip == 0 || row_ + 1 == height_) WriteStrip();
    }
  }

  void Finish() override {
    if (!TIFFWriteDirectory(tiff_.get())) Fail();
  }

 private:
  void WriteStrip() {
    std::uint32_t rows = row_ % kRowsPerStrip + 1;
    if (TIFFWriteEncodedStrip(tiff_.get(), row_ / kRowsPerStrip, strip_.data(),
                              static_cast<tmsize_t>(rows * rowBytes_)) < 0) {
      Fail();
    }
  }
  [[noreturn]] void Fail() { throw EncodeError(error_.empty() ? "TIFF error" : error_); }

  std::string error_;  // before tiff_: the handler may write it while tiff_ is cleaned up
  std::unique_ptr<TIFF, decltype(&TIFFCleanup)> tiff_{nullptr, TIFFCleanup};
  std::uint32_t row_ = 0;
  std::uint32_t height_;
  bool grey_;
  std::size_t rowBytes_;
  std::vector<std::uint8_t> strip_;  // the rows of the strip being filled
};

}  // namespace

std::unique_ptr<ImageWriter> NewTiffWriter(std::FILE* file, const ImageShape& shape) {
  return std::make_unique<TiffWriter>(file, shape);
}
