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
