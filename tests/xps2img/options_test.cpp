#include "xps2img/conversion/options.h"

#include <gtest/gtest.h>

namespace {

// Each usage error is refused with one line that names the culprit; nothing else is read.
TEST(Options, UsageErrorsNameTheCulprit) {
  struct Case {
    std::vector<std::string> args;
    std::string mentions;
  };
  const std::vector<Case> cases{
      {{}, "源文件和输出文件夹"},
      {{"a.xps"}, "源文件和输出文件夹"},
      {{"-f", "png", "a.xps", "out"}, "源文件和输出文件夹"},
      {{"a.xps", "out", "-f", "webp"}, "jpeg、jpg、png、tiff、tif、bmp、gif"},
      {{"a.xps", "out", "-f", ""}, "不支持的格式"},
      // A format typed with blanks reaches the converter as several arguments.
      {{"a.xps", "out", "-f", "png", "x", "-d", "300", "-i", "图"}, "“x”"},
      {{"a.xps", "out", "-d", "0"}, "至少为 1"},
      // The value after -d is taken even when it starts with "-".
      {{"a.xps", "out", "-d", "-5", "-f", "png"}, "“-5”"},
      {{"a.xps", "out", "-d", "3x"}, "“3x”"},
      {{"a.xps", "out", "-d", " 300"}, "“ 300”"},
      {{"a.xps", "out", "-d", "99999999999999999999"}, "太大"},
      {{"a.xps", "out", "-d"}, "-d 缺少取值"},
      {{"a.xps", "out", "-f", "png", "-f", "gif"}, "-f 重复"},
      {{"a.xps", "out", "-i", "../escape"}, "路径分隔符"},
      {{"a.xps", "out", "-i", "a\\b"}, "路径分隔符"},
      {{"a.xps", "out", "--memory-mb", "0"}, "内存上限必须至少为 1"},
      {{"a.xps", "out", "--page-seconds", "2s"}, "每页时间“2s”"},
      {{"a.xps", "out", "--memory-mb", "9", "--memory-mb", "9"}, "--memory-mb 重复"},
      {{"a.xps", "out", "--verbose"}, "“--verbose”"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += "[" + a + "]";
    ParsedArguments parsed = ParseArguments(c.args);
    const auto* error = std::get_if<UsageError>(&parsed);
    ASSERT_NE(error, nullptr) << shown;
    EXPECT_NE(error->message.find(c.mentions), std::string::npos)
        << shown << " → " << error->message;
    EXPECT_EQ(error->message.find('\n'), std::string::npos) << shown;
  }
}

// Options come in any order after the paths, format words ignore letter case, and what is
// left out takes its default.
TEST(Options, AnyOrderAnyCaseAndDefaults) {
  ParsedArguments parsed = ParseArguments({"a.xps", "out", "-i", "-x", "-d", "+30", "-f", "TiF",
                                           "--page-seconds", "5", "--memory-mb", "64"});
  const auto* options = std::get_if<Options>(&parsed);
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(options->source, "a.xps");
  EXPECT_EQ(options->outputFolder, "out");
  EXPECT_EQ(options->format.format, ImageFormat::kTiff);
  EXPECT_EQ(options->format.extension, ".tif");
  EXPECT_EQ(options->dpi, 30);
  EXPECT_EQ(options->stem, "-x");
  EXPECT_EQ(options->pageSeconds, 5);
  EXPECT_EQ(options->memoryMb, 64);

  parsed = ParseArguments({"a.xps", "out"});
  options = std::get_if<Options>(&parsed);
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(options->format.extension, ".png");
  EXPECT_EQ(options->dpi, 300);
  EXPECT_EQ(options->stem, "图");
  EXPECT_EQ(options->memoryMb, 0);
  EXPECT_EQ(options->pageSeconds, 120);

  EXPECT_TRUE(std::holds_alternative<ShowHelp>(ParseArguments({"a.xps", "out", "--help"})));
  EXPECT_TRUE(std::holds_alternative<ShowVersion>(ParseArguments({"--version"})));
}

}  // namespace
