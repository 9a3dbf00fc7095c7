#include <algorithm>
#include <cstdlib>
#include <map>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

using Images = ConverterTest;

// Every format word gives one file per page, with its extension, that an independent decoder
// reads without a warning at the pixel size mutool draw gives the page, with the resolution
// recorded where the format has a field for it; the lossless formats hold exactly mutool's
// pixels. Pages in colour and pages stored in grey alike.
TEST_F(Images, EveryFormatDecodesStrictlyAtMutoolsPixels) {
  const int dpi = 72;
  const std::map<std::string, std::string> extensions{
      {"jpeg", ".jpeg"}, {"jpg", ".jpg"}, {"png", ".png"}, {"tiff", ".tiff"},
      {"tif", ".tif"},   {"bmp", ".bmp"}, {"gif", ".gif"}};
  for (const char* document : {"text.xps", "grey.xps"}) {
    fs::path refs = NewFolder(std::string("refs-") + document);
    RenderReference(Fixture(document), dpi, refs);
    for (const auto& [word, extension] : extensions) {
      fs::path folder = NewFolder(document + word);
      ProcessResult r = Convert(
          {Fixture(document), folder.string(), "-f", word, "-d", std::to_string(dpi), "-i", "p"});
      ASSERT_EQ(r.exitCode, 0) << word << ": " << r.err;
      for (int page = 1; fs::exists(refs / ("ref" + std::to_string(page) + ".png")); ++page) {
        fs::path image = folder / ("p" + std::to_string(page) + extension),
                 ref = refs / ("ref" + std::to_string(page) + ".png");
        ImageInfo got = Identify(image), want = Identify(ref);
        EXPECT_GT(got.width, 0) << image;
        EXPECT_EQ(got.width, want.width) << image;
        EXPECT_EQ(got.height, want.height) << image;
        if (word != "gif") {
          EXPECT_NEAR(got.dpi, dpi, 0.05) << image;
        }
        if (word == "png" || word == "tiff" || word == "tif" || word == "bmp") {
          EXPECT_EQ(PixelsDiffering(image, ref), 0) << image;
        }
      }
    }
  }
}

// PNG holds exactly mutool draw's pixels: for documents in XPS and OpenXPS, made by hand and by
// Ghostscript, in colour and in grey, and at resolutions where pages span several bands.
TEST_F(Images, PngPixelsEqualMutoolDraw) {
  struct Case {
    std::string document;
    int dpi;
  };
  for (const Case& c : std::vector<Case>{{"text.xps", 97},
                                         {"openxps.xps", 50},
                                         {"sample.xps", 110},
                                         {"graphics.xps", 61},
                                         {"grey.xps", 300},
                                         {"text.xps", 250}}) {
    std::string label = c.document + " at " + std::to_string(c.dpi) + " dpi";
    fs::path folder = NewFolder(c.document + std::to_string(c.dpi));
    RenderReference(Fixture(c.document), c.dpi, folder);
    ProcessResult r = Convert({Fixture(c.document), folder.string(), "-f", "png", "-d",
                               std::to_string(c.dpi), "-i", "p"});
    ASSERT_EQ(r.exitCode, 0) << label << ": " << r.err;
    for (int page = 1; fs::exists(folder / ("ref" + std::to_string(page) + ".png")); ++page) {
      fs::path ours = folder / ("p" + std::to_string(page) + ".png");
      EXPECT_EQ(PixelsDiffering(ours, folder / ("ref" + std::to_string(page) + ".png")), 0)
          << label << ", page " << page;
    }
  }
}

// Colours given through ICC profiles are what Little CMS makes of them: ContextColor fills
// through the document's own CMYK profiles (one that MuPDF does not build in, reached by a
// relative name, and one that it does), and a CMYK JPEG through the profile it embeds. A
// ContextColor whose profile is missing, or has other channels than the colour, is taken as
// plain RGB. The three pages are alike and go to the converter's parallel workers.
TEST_F(Images, IccProfilesGiveLittleCmsColours) {
  ASSERT_EQ(Convert({Fixture("colour.xps"), out_.string(), "-d", "96", "-i", "p"}).exitCode, 0);
  struct Square {
    int x, y;
    Rgb want;
  };
  const std::vector<Square> squares{{60, 60, LittleCmsSrgb("ps_cmyk.icc", "20 60 0 10")},
                                    {160, 60, LittleCmsSrgb("default_cmyk.icc", "70 30 0 0")},
                                    {260, 60, LittleCmsSrgb("ps_cmyk.icc", "10 80 60 0")},
                                    {60, 160, {51, 102, 153}},
                                    {160, 160, {204, 153, 51}}};
  for (int page = 1; page <= 3; ++page) {
    for (const Square& s : squares) {
      Rgb got = PixelAt(out_ / ("p" + std::to_string(page) + ".png"), s.x, s.y);
      ASSERT_TRUE(got[0] >= 0 && s.want[0] >= 0) << "no colour read or computed";
      int off = 0;
      for (int c = 0; c < 3; ++c) off = std::max(off, std::abs(got[c] - s.want[c]));
      EXPECT_LE(off, 3) << "page " << page << " at " << s.x << "," << s.y << ": "
                        << testing::PrintToString(got) << ", Little CMS "
                        << testing::PrintToString(s.want);
    }
  }
}

// Page sizes keep their fractions, in XPS and OpenXPS: 793.76 x 1122.56 units (A4 as Windows
// prints it) are 2480.5 x 3508 pixels at 300 dpi, which MuPDF's box rounds out to 2481 x 3508.
TEST_F(Images, FractionalPageSizesAreKept) {
  for (const char* document : {"fractional.xps", "fractional-openxps.xps"}) {
    fs::path folder = NewFolder(document);
    ASSERT_EQ(Convert({Fixture(document), folder.string(), "-d", "300", "-i", "p"}).exitCode, 0);
    ImageInfo got = Identify(folder / "p1.png");
    EXPECT_EQ(got.width, 2481) << document;
    EXPECT_EQ(got.height, 3508) << document;
  }
}

// A page drawn in several bands: MuPDF draws a gradient from its part inside the band, so where
// a gradient crosses a band edge its colours may differ from mutool draw's whole-page drawing by
// a few levels, in few pixels; everything else stays exact.
TEST_F(Images, GradientsCrossingBandEdgesStayWithinAFewLevelsOfMutoolDraw) {
  const int dpi = 300;  // a Letter page of 25 MB, drawn in four bands
  RenderReference(Fixture("graphics.xps"), dpi, out_);
  ASSERT_EQ(Convert({Fixture("graphics.xps"), out_.string(), "-d", std::to_string(dpi)}).exitCode,
            0);
  for (int page = 1; page <= 2; ++page) {
    fs::path ours = out_ / ("图" + std::to_string(page) + ".png"),
             ref = out_ / ("ref" + std::to_string(page) + ".png");
    ImageInfo info = Identify(ours);
    long differing = PixelsDiffering(ours, ref);
    EXPECT_GE(differing, 0) << ours;
    EXPECT_LE(differing, long{info.width} * info.height / 100) << ours;
    int levels = LevelsDiffering(ours, ref);
    EXPECT_GE(levels, 0) << ours;
    EXPECT_LE(levels, 24) << ours;
  }
}

// A page with nothing but grey is stored in one channel: smaller, and the same pixels.
TEST_F(Images, GreyPagesAreStoredAsGrey) {
  for (const char* format : {"png", "tiff", "jpeg"}) {
    fs::path folder = NewFolder(format);
    ASSERT_EQ(Convert({Fixture("grey.xps"), folder.string(), "-f", format, "-d", "40"}).exitCode,
              0);
    EXPECT_EQ(Identify(folder / (std::string("图1.") + format)).colourspace, "Gray") << format;
  }
  ASSERT_EQ(Convert({Fixture("text.xps"), out_.string(), "-d", "40"}).exitCode, 0);
  EXPECT_EQ(Identify(out_ / "图1.png").colourspace, "sRGB");
}

// GIF is written from a palette chosen for the page: a page of few colours keeps them exactly.
TEST_F(Images, GifKeepsTheColoursOfAFewColourPage) {
  fs::path refs = NewFolder("refs");
  RenderReference(Fixture("grey.xps"), 30, refs);
  ASSERT_EQ(Convert({Fixture("grey.xps"), out_.string(), "-f", "gif", "-d", "30"}).exitCode, 0);
  ProcessResult colours = RunProcess({IDENTIFY, "-format", "%k", (refs / "ref1.png").string()});
  ASSERT_LE(std::stoi(colours.out), 256);
  EXPECT_EQ(PixelsDiffering(out_ / "图1.gif", refs / "ref1.png"), 0);
}

// Progress: one line per page written, with its number, the total and the file.
TEST_F(Images, ReportsEachPageOnStandardOutput) {
  if (DrivesWindowsConverter()) {
    GTEST_SKIP() << "the Windows converter joins folder and name with '\\', this test expects '/'";
  }
  ProcessResult r = Convert({Fixture("text.xps"), out_.string(), "-d", "20", "-i", "图2-"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  for (int page = 1; page <= 3; ++page) {
    std::string line = "第 " + std::to_string(page) + "/3 页 → " +
                       (out_ / ("图2-" + std::to_string(page) + ".png")).string() + "\n";
    EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  }
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
}

}  // namespace
