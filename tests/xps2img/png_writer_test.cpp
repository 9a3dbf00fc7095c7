#include <gtest/gtest.h>
#include <libdeflate.h>
#include <spng.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "xps2img/conversion/page_output.h"
#include "xps2img/writers/image_writer.h"

namespace {

namespace fs = std::filesystem;

// An RGB image whose rows differ and repeat in part, grey when asked.
std::vector<std::uint8_t> Pattern(int width, int height, bool grey) {
  std::vector<std::uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      auto v = static_cast<std::uint8_t>((x * 7 + y * 3) ^ (y % 5 ? x : 255));
      p[0] = v;
      p[1] = grey ? v : static_cast<std::uint8_t>(y);
      p[2] = grey ? v : static_cast<std::uint8_t>(x + y);
    }
  }
  return rgb;
}

// Encodes `rgb` (grey when the shape is) in bands of 7 rows with the given whole-image limit;
// the file's bytes.
std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& rgb, const ImageShape& shape,
                                 std::size_t limit) {
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::tmpfile(), std::fclose);
  auto writer = NewPngWriter(file.get(), shape, limit);
  // A grey shape takes its rows in one channel.
  std::vector<std::uint8_t> rows(rgb.size() / (shape.grey ? 3 : 1));
  if (shape.grey) {
    EXPECT_TRUE(RgbToGrey(rgb.data(), static_cast<int>(rows.size()), rows.data()));
  } else {
    rows = rgb;
  }
  std::ptrdiff_t stride = std::ptrdiff_t{shape.width} * (shape.grey ? 1 : 3);
  for (int y = 0; y < shape.height; y += 7) {
    writer->WriteRows(rows.data() + y * stride, stride, std::min(7, shape.height - y));
  }
  writer->Finish();
  std::vector<std::uint8_t> bytes(static_cast<size_t>(std::ftell(file.get())));
  std::rewind(file.get());
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
  return bytes;
}

struct Decoded {
  spng_ihdr ihdr{};
  spng_phys phys{};
  std::vector<std::uint8_t> rgb;
};

// Decodes strictly: a bad check sum or a truncated stream fails.
Decoded Decode(const std::vector<std::uint8_t>& png) {
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
  Decoded d;
  EXPECT_EQ(spng_set_png_buffer(ctx.get(), png.data(), png.size()), 0);
  EXPECT_EQ(spng_get_ihdr(ctx.get(), &d.ihdr), 0);
  EXPECT_EQ(spng_get_phys(ctx.get(), &d.phys), 0);
  size_t size = 0;
  EXPECT_EQ(spng_decoded_image_size(ctx.get(), SPNG_FMT_RGB8, &size), 0);
  d.rgb.resize(size);
  EXPECT_EQ(spng_decode_image(ctx.get(), d.rgb.data(), size, SPNG_FMT_RGB8, 0), 0);
  return d;
}

// The zlib stream of `png`'s image data chunks.
std::vector<std::uint8_t> ImageData(const std::vector<std::uint8_t>& png) {
  std::vector<std::uint8_t> packed;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    std::size_t length = std::size_t{png[at]} << 24 | std::size_t{png[at + 1]} << 16 |
                         std::size_t{png[at + 2]} << 8 | png[at + 3];
    if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "IDAT")) {
      packed.insert(packed.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    }
    at += length + 12;
  }
  return packed;
}

// The filter type leading each row of `png`, a single-channel or RGB image `width` wide.
std::vector<int> RowFilters(const std::vector<std::uint8_t>& png, int width, int height,
                            int channels) {
  std::vector<std::uint8_t> packed = ImageData(png);
  std::size_t step = std::size_t(width) * channels + 1;
  std::vector<std::uint8_t> rows(step * height);
  std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  EXPECT_EQ(libdeflate_zlib_decompress(inflater.get(), packed.data(), packed.size(), rows.data(),
                                       rows.size(), nullptr),
            LIBDEFLATE_SUCCESS);
  std::vector<int> filters;
  for (int y = 0; y < height; ++y) filters.push_back(rows[step * y]);
  return filters;
}

// Shading is written with each row taken from the row above, text unfiltered. A page that
// compresses to a small part of its size, smooth shading or a few glyphs on white, goes to the
// quick compressor, and its stream says so (zlib's level field 0, "fastest"); dense text does
// not. Each decodes to exactly its pixels, in colour and in grey.
TEST(PngWriter, FilterAndCompressorFollowThePage) {
  constexpr int kWidth = 200, kHeight = 160;
  std::vector<std::uint8_t> shading(kWidth * kHeight * 3), text(shading.size(), 255),
      sparse(shading.size(), 255);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth * 3; ++x) {
      int at = y * kWidth * 3 + x;
      shading[at] = static_cast<std::uint8_t>((x * 37 % 101) + y * 3 / 4);
      // Glyphs: the same small dark shapes, repeated along lines of text, or a few of them.
      if (y % 20 < 12 && x % 15 < 9) text[at] = (x ^ y) % 7 ? 40 : 200;
      if (y % 60 < 10 && x < 30) sparse[at] = (x * y) % 11 ? 30 : 180;
    }
  }
  struct Case {
    const char* name;
    const std::vector<std::uint8_t>* image;
    int filter;
    bool quick;
  };
  for (const Case& c : {Case{"shading", &shading, 2, true}, Case{"text", &text, 0, false},
                        Case{"sparse", &sparse, 0, true}}) {
    for (bool grey : {false, true}) {
      std::vector<std::uint8_t> rgb = *c.image;
      if (grey) {  // the red channel in all three
        for (std::size_t i = 0; i < rgb.size(); i += 3) rgb[i + 1] = rgb[i + 2] = rgb[i];
      }
      std::vector<std::uint8_t> png = Encode(rgb, {kWidth, kHeight, 96, grey}, kPngWholeImageBytes);
      EXPECT_EQ(RowFilters(png, kWidth, kHeight, grey ? 1 : 3), std::vector<int>(kHeight, c.filter))
          << c.name << ", grey " << grey;
      EXPECT_EQ(ImageData(png).at(1) >> 6 == 0, c.quick) << c.name << ", grey " << grey;
      EXPECT_TRUE(Decode(png).rgb == rgb) << c.name << ", grey " << grey;
    }
  }
}

// A page too large to be compressed at once streams instead; either way, colour or grey, the
// file decodes strictly to the same pixels and header.
TEST(PngWriter, WholeAndStreamedPagesGiveTheSamePixels) {
  for (bool grey : {false, true}) {
    ImageShape shape{301, 97, 150, grey};
    auto rgb = Pattern(shape.width, shape.height, grey);
    for (std::size_t limit : {std::size_t{0}, kPngWholeImageBytes}) {
      Decoded d = Decode(Encode(rgb, shape, limit));
      EXPECT_EQ(d.ihdr.width, 301u);
      EXPECT_EQ(d.ihdr.height, 97u);
      EXPECT_EQ(d.ihdr.color_type, grey ? SPNG_COLOR_TYPE_GRAYSCALE : SPNG_COLOR_TYPE_TRUECOLOR);
      EXPECT_EQ(d.phys.ppu_x, 5906u);  // 150 dpi in pixels per metre
      EXPECT_TRUE(d.rgb == rgb) << "grey " << grey << ", limit " << limit;
    }
  }
}

// A page cut short is an error, not a valid-looking file.
TEST(PngWriter, AMissingRowIsAnError) {
  ImageShape shape{40, 30, 96, false};
  auto rgb = Pattern(shape.width, shape.height, false);
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::tmpfile(), std::fclose);
  auto writer = NewPngWriter(file.get(), shape);
  writer->WriteRows(rgb.data(), shape.width * 3, shape.height - 1);
  EXPECT_THROW(writer->Finish(), EncodeError);
}

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

// Draws a pattern whose rows from `colourFrom` on are in colour; counts the pages drawn in place.
class PatternRenderer : public BandRenderer {
 public:
  explicit PatternRenderer(int colourFrom) : colourFrom_(colourFrom) {}

  Band Render(const PreparedPage& page, int first, int count, PageStop*, PageLosses*) override {
    band_.resize(static_cast<std::size_t>(page.width()) * 3 * count);
    Fill(page.width(), first, count, band_.data(), page.width() * 3);
    return {band_.data(), page.width() * 3, count};
  }
  void RenderInto(const PreparedPage& page, int first, int count, std::uint8_t* rows,
                  std::ptrdiff_t stride, PageStop*, PageLosses*) override {
    ++inPlace;
    Fill(page.width(), first, count, rows, stride);
  }

  int inPlace = 0;

 private:
  void Fill(int width, int first, int count, std::uint8_t* rows, std::ptrdiff_t stride) const {
    for (int y = 0; y < count; ++y) {
      for (int x = 0; x < width; ++x) {
        auto v = static_cast<std::uint8_t>(x * 5 + (first + y) * 3);
        for (int c = 0; c < 3; ++c) {
          rows[y * stride + x * 3 + c] = first + y >= colourFrom_ ? v + c * 40 : v;
        }
      }
    }
  }

  int colourFrom_;
  std::vector<std::uint8_t> band_;
};

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
    std::ifstream in(file.final, std::ios::binary);
    Decoded d = Decode({std::istreambuf_iterator<char>(in), {}});
    EXPECT_EQ(d.ihdr.color_type, c.colourType) << c.name;
    PatternRenderer reference(c.colourFrom);
    Band whole = reference.Render(page, 0, kHeight, nullptr, nullptr);
    EXPECT_TRUE(std::equal(d.rgb.begin(), d.rgb.end(), whole.rows)) << c.name;
    // Colour is drawn in place once; grey goes through bands, and a mistaken page twice.
    EXPECT_EQ(renderer.inPlace, c.predictedGrey && c.colourFrom < kHeight ? 1 : !c.predictedGrey)
        << c.name;
  }
  fs::remove_all(folder);
}

}  // namespace
