#include <spng.h>

#include <string>
#include <vector>

#include "xps2img/image_writer.h"

namespace {

// Unfiltered rows at zlib level 6, as MuPDF writes them: rendered text repeats exactly, and
// deflate finds the repeats best in unfiltered rows (measured smaller and quicker than the
// Sub or Up filter or libspng's choice per row).
constexpr int kCompressionLevel = 6;

class PngWriter : public ImageWriter {
 public:
  PngWriter(std::FILE* file, const ImageShape& shape)
      : ctx_(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free),
        width_(shape.width),
        grey_(shape.grey),
        row_(grey_ ? static_cast<size_t>(shape.width) : 0) {
    if (!ctx_) throw EncodeError("out of memory");
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(shape.width);
    ihdr.height = static_cast<std::uint32_t>(shape.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = grey_ ? SPNG_COLOR_TYPE_GRAYSCALE : SPNG_COLOR_TYPE_TRUECOLOR;
    // Pixels per metre, as PNG stores the resolution.
    auto perMetre = static_cast<std::uint32_t>(shape.dpi / 0.0254 + 0.5);
    spng_phys phys{perMetre, perMetre, 1};  // unit 1: the metre
    Check(spng_set_png_file(ctx_.get(), file));
    Check(spng_set_option(ctx_.get(), SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel));
    Check(spng_set_option(ctx_.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_NONE));
    Check(spng_set_ihdr(ctx_.get(), &ihdr));
    Check(spng_set_phys(ctx_.get(), &phys));
    Check(spng_encode_image(ctx_.get(), nullptr, 0, SPNG_FMT_PNG,
                            SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
  }
  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* row = rows + i * stride;
      if (grey_) {
        RgbToGrey(row, width_, row_.data());
        row = row_.data();
      }
      int status = spng_encode_row(ctx_.get(), row, static_cast<size_t>(width_) * (grey_ ? 1 : 3));
      // The last row finishes the image and reports SPNG_EOI.
      if (status != SPNG_OK && status != SPNG_EOI) Check(status);
    }
  }

  void Finish() override {}

 private:
  static void Check(int status) {
    if (status != SPNG_OK) throw EncodeError(spng_strerror(status));
  }

  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx_;
  int width_;
  bool grey_;
  std::vector<std::uint8_t> row_;  // a grey row
};

}  // namespace

std::unique_ptr<ImageWriter> NewPngWriter(std::FILE* file, const ImageShape& shape) {
  return std::make_unique<PngWriter>(file, shape);
}
