#include "xps2img/page_output.h"

#include <gtest/gtest.h>
#include <spng.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class Page : public PreparedPage {
 public:
  Page(int width, int height, bool grey) : width_(width), height_(height), grey_(grey) {}
  int width() const override { return width_; }
  int height() const override { return height_; }
  int dpi() const override { return 96; }
  bool grey() const override { return grey_; }

 private:
  int width_, height_;
  bool grey_;
};

// Draws a pattern whose rows from `colourFrom` on are in colour, and counts how it was asked.
class PatternRenderer : public BandRenderer {
 public:
  explicit PatternRenderer(int colourFrom) : colourFrom_(colourFrom) {}

  std::uint8_t Channel(int x, int y, int c) const {
    auto v = static_cast<std::uint8_t>(x * 5 + y * 3);
    return y >= colourFrom_ ? static_cast<std::uint8_t>(v + c * 40) : v;
  }

  Band Render(const PreparedPage& page, int first, int count, PageStop*, PageLosses*) override {
    ++bands;
    band_.resize(static_cast<std::size_t>(page.width()) * 3 * count);
    Fill(page.width(), first, count, band_.data(), page.width() * 3);
    return {band_.data(), page.width() * 3, count};
  }
  void RenderInto(const PreparedPage& page, int first, int count, std::uint8_t* rows,
                  std::ptrdiff_t stride, PageStop*, PageLosses*) override {
    ++inPlace;
    Fill(page.width(), first, count, rows, stride);
  }

  int bands = 0, inPlace = 0;

 private:
  void Fill(int width, int first, int count, std::uint8_t* rows, std::ptrdiff_t stride) const {
    for (int y = 0; y < count; ++y) {
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) rows[y * stride + x * 3 + c] = Channel(x, first + y, c);
      }
    }
  }

  int colourFrom_;
  std::vector<std::uint8_t> band_;
};

struct Decoded {
  std::uint8_t colourType = 0;
  std::vector<std::uint8_t> rgb;
};

Decoded DecodePng(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> png((std::istreambuf_iterator<char>(in)), {});
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
  Decoded d;
  spng_ihdr ihdr{};
  EXPECT_EQ(spng_set_png_buffer(ctx.get(), png.data(), png.size()), 0);
  EXPECT_EQ(spng_get_ihdr(ctx.get(), &ihdr), 0);
  d.colourType = ihdr.color_type;
  std::size_t size = 0;
  EXPECT_EQ(spng_decoded_image_size(ctx.get(), SPNG_FMT_RGB8, &size), 0);
  d.rgb.resize(size);
  EXPECT_EQ(spng_decode_image(ctx.get(), d.rgb.data(), size, SPNG_FMT_RGB8, 0), 0);
  return d;
}

// A page stored in grey, one that was thought grey but has colour near its foot (written again
// in colour), and a colour page drawn straight into the encoder's memory: each file holds
// exactly the pattern's pixels, in the colour type it calls for.
TEST(PageOutput, GreyColourAndMistakenGreyPagesKeepTheirPixels) {
  fs::path folder = fs::temp_directory_path() / ("page-output-" + std::to_string(getpid()));
  fs::create_directories(folder);
  constexpr int kWidth = 90, kHeight = 120;
  struct Case {
    const char* name;
    bool predictedGrey;
    int colourFrom;
    std::uint8_t colourType;
  };
  for (const Case& c : {Case{"grey", true, kHeight, SPNG_COLOR_TYPE_GRAYSCALE},
                        Case{"mistaken", true, kHeight - 3, SPNG_COLOR_TYPE_TRUECOLOR},
                        Case{"colour", false, 0, SPNG_COLOR_TYPE_TRUECOLOR}}) {
    Page page(kWidth, kHeight, c.predictedGrey);
    PatternRenderer renderer(c.colourFrom);
    PageFile file{(folder / (std::string(c.name) + ".png")).string(),
                  (folder / (std::string(".") + c.name + ".tmp")).string()};
    WritePage(renderer, page, file, Options{}, nullptr, nullptr);
    EXPECT_FALSE(fs::exists(file.temporary)) << c.name;
    Decoded d = DecodePng(file.final);
    EXPECT_EQ(d.colourType, c.colourType) << c.name;
    std::vector<std::uint8_t> expected;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        for (int ch = 0; ch < 3; ++ch) expected.push_back(renderer.Channel(x, y, ch));
      }
    }
    EXPECT_TRUE(d.rgb == expected) << c.name;
    // Colour is drawn in place once; grey goes through bands, and a mistaken page twice.
    EXPECT_EQ(renderer.inPlace, c.predictedGrey && c.colourFrom < kHeight ? 1 : !c.predictedGrey)
        << c.name;
  }
  fs::remove_all(folder);
}

}  // namespace
