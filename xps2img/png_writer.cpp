#include <spng.h>

#include <string>

#include "xps2img/image_writer.h"

namespace {

// Rendered pages are mostly flat colour: the Up filter at zlib level 6 makes files as small
// as MuPDF's own at a fraction of the time of trying every filter on every row.
constexpr int kCompressionLevel = 6;

class PngWriter : public ImageWriter {
 public:
  PngWriter(std::FILE* file, const ImageSpec& spec)
      : ctx_(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free),
        rowBytes_(static_cast<size_t>(spec.width) * 3) {
    if (!ctx_) throw EncodeError("out of memory");
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(spec.width);
    ihdr.height = static_cast<std::uint32_t>(spec.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    // Pixels per metre, as PNG stores the resolution.
    auto perMetre = static_cast<std::uint32_t>(spec.dpi / 0.0254 + 0.5);
    spng_phys phys{perMetre, perMetre, 1};  // unit 1: the metre
    Check(spng_set_png_file(ctx_.get(), file));
    Check(spng_set_option(ctx_.get(), SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel));
    Check(spng_set_option(ctx_.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_UP));
    Check(spng_set_ihdr(ctx_.get(), &ihdr));
    Check(spng_set_phys(ctx_.get(), &phys));
    Check(spng_encode_image(ctx_.get(), nullptr, 0, SPNG_FMT_PNG,
                            SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
  }
  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    for (int i = 0; i < count; ++i) {
      int status = spng_encode_row(ctx_.get(), rows + i * stride, rowBytes_);
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
  size_t rowBytes_;
};

}  // namespace

std::unique_ptr<ImageWriter> NewPngWriter(std::FILE* file, const ImageSpec& spec) {
  return std::make_unique<PngWriter>(file, spec);
}
