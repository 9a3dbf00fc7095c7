#include "harness.h"

namespace {

using CommandLine = ConverterTest;

TEST_F(CommandLine, HelpAndVersionSucceedAndWriteNothing) {
  for (const char* option : {"-h", "--help"}) {
    ProcessResult r = Convert({option});
    EXPECT_EQ(r.exitCode, 0) << option;
    EXPECT_NE(r.out.find("用法：xps2img 源文件 输出文件夹"), std::string::npos);
    EXPECT_NE(r.out.find("jpeg"), std::string::npos);
    EXPECT_NE(r.out.find("gif"), std::string::npos);
  }
  ProcessResult help = Convert({Fixture("text.xps"), out_.string(), "-f", "png", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  ProcessResult version = Convert({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("xps2img ", 0), 0u) << version.out;
  EXPECT_TRUE(Names(out_).empty());
}

// A usage error exits 2 with one line on stderr that names the culprit, and writes nothing.
// The messages themselves are checked in process (options_test.cpp); these cases cover the
// argument decoding of each platform's entry point.
TEST_F(CommandLine, UsageErrorsExitTwoAndWriteNothing) {
  const std::string doc = Fixture("text.xps"), out = out_.string();
  struct Case {
    std::vector<std::string> args;
    std::string mentions;
  };
  const std::vector<Case> cases{
      {{}, "源文件和输出文件夹"},
      {{doc, out, "-f", "webp"}, "jpeg、jpg、png、tiff、tif、bmp、gif"},
      {{doc, out, "-d", " 300"}, "“ 300”"},
      {{doc, out, "-i", "../escape"}, "路径分隔符"},
      {{doc, out, "--verbose"}, "“--verbose”"},
  };
  for (const Case& c : cases) {
    ProcessResult r = Convert(c.args);
    std::string shown;
    for (const auto& a : c.args) shown += "[" + a + "]";
    EXPECT_EQ(r.exitCode, 2) << shown;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << shown << " → " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << " → " << r.err;
    EXPECT_TRUE(r.out.empty()) << shown;
  }
  EXPECT_TRUE(Names(out_).empty());
}

TEST_F(CommandLine, OptionsInAnyOrderLetterCaseIgnoredAndDefaults) {
  ProcessResult r =
      Convert({Fixture("grey.xps"), out_.string(), "-i", "-x", "-d", "+30", "-f", "TiF"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Names(out_), (std::vector<std::string>{"-x1.tif", "-x2.tif"}));
  EXPECT_EQ(Identify(out_ / "-x1.tif").dpi, 30);

  // Without options: png at 300 dpi, stem 图.
  std::filesystem::path plain = NewFolder("plain");
  r = Convert({Fixture("grey.xps"), plain.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Names(plain), (std::vector<std::string>{"图1.png", "图2.png"}));
  ImageInfo info = Identify(plain / "图1.png");
  EXPECT_NEAR(info.dpi, 300, 0.01);
  // 794 × 1123 units of 1/96 inch are 2481.25 × 3509.4 pixels at 300 dpi, rounded outward
  // as mutool draw does.
  EXPECT_EQ(info.width, 2482);
  EXPECT_EQ(info.height, 3510);
}

}  // namespace
