#include <gtest/gtest.h>
#include <zbar.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "xps2img/conversion/pixel_limit.h"
#include "xps2img/engine/engine.h"
#include "xps2img/writers/image_writer.h"

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  const std::uint8_t* At(double xUnits, double yUnits, int dpi) const {
    auto x = static_cast<int>(xUnits * dpi / 96), y = static_cast<int>(yUnits * dpi / 96);
    return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
  }
};

// Page `index` (from 0) of squares.xps at `dpi`, drawn in bands of 64 rows as the converter
// draws them, so that codes cross band edges.
Picture Draw(XpsDocument& document, int index, int dpi) {
  auto page = document.Prepare(index, dpi, kPixelLimit, nullptr, nullptr);
  auto renderer = document.NewRenderer();
  Picture p{page->width(), page->height(), {}};
  p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
  for (int y = 0; y < p.height; y += 64) {
    renderer->RenderInto(*page, y, std::min(64, p.height - y), &p.rgb[std::size_t(y) * p.width * 3],
                         std::ptrdiff_t{p.width} * 3, nullptr, nullptr);
  }
  return p;
}

// The picture as the JPEG writer stores it and libjpeg reads it back.
Picture ThroughJpeg(const Picture& picture, int dpi) {
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::tmpfile(), std::fclose);
  auto writer = NewJpegWriter(file.get(), {picture.width, picture.height, dpi});
  writer->WriteRows(picture.rgb.data(), std::ptrdiff_t{picture.width} * 3, picture.height);
  writer->Finish();
  std::rewind(file.get());
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file.get());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  Picture out{static_cast<int>(info.output_width), static_cast<int>(info.output_height), {}};
  out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &out.rgb[std::size_t{info.output_scanline} * out.width * 3];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return out;
}

// The texts of the QR codes zbar reads in the picture.
std::vector<std::string> ReadCodes(const Picture& picture) {
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(picture.width) * picture.height);
  for (std::size_t i = 0; i < grey.size(); ++i) {
    const std::uint8_t* p = &picture.rgb[i * 3];
    grey[i] = static_cast<std::uint8_t>((p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000);
  }
  std::unique_ptr<zbar::zbar_image_scanner_t, decltype(&zbar::zbar_image_scanner_destroy)> scanner(
      zbar::zbar_image_scanner_create(), zbar::zbar_image_scanner_destroy);
  zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
  zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
  std::unique_ptr<zbar::zbar_image_t, decltype(&zbar::zbar_image_destroy)> image(
      zbar::zbar_image_create(), zbar::zbar_image_destroy);
  zbar::zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
  zbar::zbar_image_set_size(image.get(), picture.width, picture.height);
  zbar::zbar_image_set_data(image.get(), grey.data(), grey.size(), nullptr);
  std::vector<std::string> texts;
  if (zbar::zbar_scan_image(scanner.get(), image.get()) > 0) {
    for (const zbar::zbar_symbol_t* s = zbar::zbar_image_first_symbol(image.get()); s;
         s = zbar::zbar_symbol_next(s)) {
      texts.emplace_back(zbar::zbar_symbol_get_data(s));
    }
  }
  return texts;
}

// Changes between neighbours along the row at `yUnits`, from x0 to x1 units.
int ChangesAlong(const Picture& p, double yUnits, double x0, double x1, int dpi) {
  int changes = 0;
  for (int x = static_cast<int>(x0 * dpi / 96) + 1; x < static_cast<int>(x1 * dpi / 96); ++x) {
    const std::uint8_t* a = p.At(0, yUnits, dpi) + std::size_t(x - 1) * 3;
    changes += a[0] != a[3] || a[1] != a[4] || a[2] != a[5];
  }
  return changes;
}

// Pixels with red well above green and blue, and pixels darker than mid grey.
std::pair<long, long> RedAndDark(const Picture& p) {
  long red = 0, dark = 0;
  for (std::size_t i = 0; i < p.rgb.size(); i += 3) {
    int r = p.rgb[i], g = p.rgb[i + 1], b = p.rgb[i + 2];
    red += r > g + 60 && r > b + 60;
    dark += r + g + b < 3 * 160;
  }
  return {red, dark};
}

enum class Expect {
  Reads,    // the page's QR code reads as its text
  Smooth,   // the 24-pixel image magnified changes between most neighbouring pixels
  NoBleed,  // nothing of the red border outside the Viewbox, and the crop drawn
  Fills,    // the image reaches the far corner of its viewport
};

// squares.xps (tests/fixtures/make_squares.py) at 150 and 300 dpi, and through JPEG at 300 dpi.
// Two-tone images (1-bit, RGBA, palette) magnified at fractional positions and a grey one of 3
// pixels a module shrunk to 2.66 device pixels a module at 150 dpi read (interpolated as MuPDF
// drew them before, pages 1 and 2 did not read at 150 dpi, nor page 4 through JPEG); a smooth
// image stays interpolated; a crop shows only its crop; an image's size keeps its fraction.
TEST(ImageSquares, CodesReadAndPicturesKeepTheirLook) {
  struct Case {
    int page;
    Expect expect;
    std::string text = {};
  };
  const std::vector<Case> cases{{1, Expect::Reads, "VELLUMOR 1-BIT 0.50 MM 03"},
                                {2, Expect::Reads, "VELLUMOR RGBA 0.55 MM 17"},
                                {3, Expect::Reads, "VELLUMOR 1-BIT 1.00 MM 13"},
                                {4, Expect::Reads, "VELLUMOR RGBA 0.40 MM 14"},
                                {5, Expect::Reads, "VELLUMOR GREY 3PX 0.45 MM 28"},
                                {6, Expect::Reads, "VELLUMOR PALETTE 0.65 MM 99"},
                                {7, Expect::Smooth},
                                {8, Expect::NoBleed},
                                {9, Expect::NoBleed},
                                {10, Expect::Fills}};
  struct Rendering {
    int dpi;
    bool jpeg;
  };
  auto document = XpsDocument::Open((std::filesystem::path(FIXTURES_DIR) / "squares.xps").string(),
                                    32 << 20, nullptr);
  for (const Case& c : cases) {
    for (Rendering r : {Rendering{150, false}, Rendering{300, false}, Rendering{300, true}}) {
      std::string label = "page " + std::to_string(c.page) + " at " + std::to_string(r.dpi) +
                          " dpi" + (r.jpeg ? " through JPEG" : "");
      Picture p = Draw(*document, c.page - 1, r.dpi);
      if (r.jpeg) p = ThroughJpeg(p, r.dpi);
      switch (c.expect) {
        case Expect::Reads:
          EXPECT_EQ(ReadCodes(p), std::vector<std::string>{c.text}) << label;
          break;
        case Expect::Smooth:
          // 24 image pixels across 200 units: squares would change about 24 to 48 times.
          EXPECT_GT(ChangesAlong(p, 140, 45, 235, r.dpi), 3 * 24) << label;
          break;
        case Expect::NoBleed: {
          auto [red, dark] = RedAndDark(p);
          EXPECT_EQ(red, 0) << label;
          EXPECT_GT(dark, long{200 * r.dpi / 96} * (200 * r.dpi / 96) / 4) << label;
          break;
        }
        case Expect::Fills:
          EXPECT_LT(p.At(239, 239, r.dpi)[0], 64) << label;
          EXPECT_GT(p.At(241, 241, r.dpi)[0], 192) << label;
          break;
      }
    }
  }
}

}  // namespace
