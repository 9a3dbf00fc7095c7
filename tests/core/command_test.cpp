#include "convert/command.h"

#include <gtest/gtest.h>

namespace {

ConversionJob Job(std::u16string source, std::u16string format, std::u16string resolutionText,
                  int index, int count) {
  return {u"C:\\Tools\\Conv",
          std::move(source),
          u"E:\\Images",
          std::move(format),
          ReadResolution(resolutionText),
          index,
          count};
}

TEST(ReadResolution, ReadsDecimalWithSignAndLeadingBlanks) {
  EXPECT_EQ(ReadResolution(u"300"), 300);
  EXPECT_EQ(ReadResolution(u"600"), 600);
  EXPECT_EQ(ReadResolution(u"0"), 0);
  EXPECT_EQ(ReadResolution(u"-5"), -5);
  EXPECT_EQ(ReadResolution(u"+72"), 72);
  EXPECT_EQ(ReadResolution(u"   150"), 150);
  EXPECT_EQ(ReadResolution(u"000150"), 150);
  EXPECT_EQ(ReadResolution(u"2147483647"), 2147483647);
  EXPECT_EQ(ReadResolution(u"-2147483648"), INT32_MIN);
}

TEST(ReadResolution, ReadsHexadecimalAfterEveryPrefix) {
  EXPECT_EQ(ReadResolution(u"$96"), 150);
  EXPECT_EQ(ReadResolution(u"x96"), 150);
  EXPECT_EQ(ReadResolution(u"X96"), 150);
  EXPECT_EQ(ReadResolution(u"0x96"), 150);
  EXPECT_EQ(ReadResolution(u"0X96"), 150);
  EXPECT_EQ(ReadResolution(u"$aBc"), 0xABC);
  EXPECT_EQ(ReadResolution(u"-$10"), -16);
  EXPECT_EQ(ReadResolution(u" +0x12c"), 300);
  EXPECT_EQ(ReadResolution(u"$FFFFFFFF"), -1);
  EXPECT_EQ(ReadResolution(u"$7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(ReadResolution(u"$80000000"), INT32_MIN);
  EXPECT_EQ(ReadResolution(u"$0000012C"), 300);
}

TEST(ReadResolution, GivesThreeHundredForAnythingUnreadable) {
  for (std::u16string_view text :
       {u"",           u"   ",         u"abc",         u"300 ", u"30 0",  u"3OO",    u"+",
        u"-",          u"+-3",         u"$",           u"0x",   u"x",     u"$G1",    u"$123456789",
        u"2147483648", u"-2147483649", u"99999999999", u"1.5",  u"\t300", u"３００", u"300dpi"}) {
    EXPECT_EQ(ReadResolution(text), 300) << std::string(text.begin(), text.end());
  }
}

TEST(ProgramFolder, DropsTheLastSeparatorUnlessItIsTheRoot) {
  const auto windows = PathStyle::Windows;
  EXPECT_EQ(ProgramFolder(u"C:\\Tools\\Conv\\run.exe", windows), u"C:\\Tools\\Conv");
  EXPECT_EQ(ProgramFolder(u"C:\\run.exe", windows), u"C:\\");
  EXPECT_EQ(ProgramFolder(u"C:run.exe", windows), u"C:");
  EXPECT_EQ(ProgramFolder(u"\\run.exe", windows), u"\\");
  EXPECT_EQ(ProgramFolder(u"\\\\server\\share\\run.exe", windows), u"\\\\server\\share");
  EXPECT_EQ(ProgramFolder(u"C:\\Tools\\\\run.exe", windows), u"C:\\Tools\\\\");
  EXPECT_EQ(ProgramFolder(u"run.exe", windows), u"");
  EXPECT_EQ(ProgramFolder(u"D:\\图 表\\run.exe", windows), u"D:\\图 表");

  const auto posix = PathStyle::Posix;
  EXPECT_EQ(ProgramFolder(u"/opt/vellumor/vellumor", posix), u"/opt/vellumor");
  EXPECT_EQ(ProgramFolder(u"/vellumor", posix), u"/");
  EXPECT_EQ(ProgramFolder(u"vellumor", posix), u"");
  EXPECT_EQ(ProgramFolder(u"/a\\b/c:d", posix), u"/a\\b");
}

TEST(BuildConverterCommand, GivesTheWorkedExamplesByteForByte) {
  EXPECT_EQ(BuildConverterCommand(Job(u"D:\\Docs\\report.xps", u"jpeg", u"300", 0, 1),
                                  PathStyle::Windows),
            u"\"C:\\Tools\\Conv\\bin\\xps2img\" \"D:\\Docs\\report.xps\" \"E:\\Images\" -f jpeg "
            u"-d 300 -i 图");
  EXPECT_EQ(
      BuildConverterCommand(Job(u"D:\\Docs\\b.xps", u"png", u"600", 1, 3), PathStyle::Windows),
      u"\"C:\\Tools\\Conv\\bin\\xps2img\" \"D:\\Docs\\b.xps\" \"E:\\Images\" -f png -d 600 -i "
      u"图2-");
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"png", u"abc", 0, 1), PathStyle::Windows)
                  .ends_with(u" -d 300 -i 图"));
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"png", u"$96", 0, 1), PathStyle::Windows)
                  .ends_with(u" -d 150 -i 图"));
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"png", u"0", 0, 1), PathStyle::Windows)
                  .ends_with(u" -d 0 -i 图"));
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"png", u"-$FFFFFFF", 0, 1), PathStyle::Windows)
                  .ends_with(u" -d -268435455 -i 图"));
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"png", u"$80000000", 0, 1), PathStyle::Windows)
                  .ends_with(u" -d -2147483648 -i 图"));
}

TEST(BuildConverterCommand, InsertsFormatUnquotedAndNumbersStemsFromOne) {
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"", u"300", 0, 1), PathStyle::Windows)
                  .ends_with(u"\"E:\\Images\" -f  -d 300 -i 图"));
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"my png", u"300", 0, 1), PathStyle::Windows)
                  .ends_with(u" -f my png -d 300 -i 图"));
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"gif", u"150", 0, 2), PathStyle::Windows)
                  .ends_with(u" -f gif -d 150 -i 图1-"));
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"gif", u"150", 9, 12), PathStyle::Windows)
                  .ends_with(u" -i 图10-"));
  // A list that was emptied is not a one-item list: the stem still carries the number.
  EXPECT_TRUE(BuildConverterCommand(Job(u"a", u"gif", u"150", 0, 0), PathStyle::Windows)
                  .ends_with(u" -i 图1-"));
}

TEST(BuildConverterCommand, DoublesBackslashesBeforeAClosingQuote) {
  ConversionJob job = Job(u"D:\\Docs\\a.xps", u"png", u"300", 0, 1);
  job.outputFolder = u"E:\\";
  job.programFolder = ProgramFolder(u"C:\\run.exe", PathStyle::Windows);
  EXPECT_EQ(BuildConverterCommand(job, PathStyle::Windows),
            u"\"C:\\\\bin\\xps2img\" \"D:\\Docs\\a.xps\" \"E:\\\\\" -f png -d 300 -i 图");
}

TEST(BuildConverterCommand, UsesSlashesAndEscapesQuotesOnPosix) {
  const ConversionJob job{
      u"/opt/v", u"/home/u/my \"best\\\" doc.xps", u"/tmp/out\\", u"png", 600, 0, 1};
  EXPECT_EQ(
      BuildConverterCommand(job, PathStyle::Posix),
      u"\"/opt/v/bin/xps2img\" \"/home/u/my \\\"best\\\\\\\" doc.xps\" \"/tmp/out\\\\\" -f png "
      u"-d 600 -i 图");
  const ConversionJob root{
      ProgramFolder(u"/vellumor", PathStyle::Posix), u"/a.xps", u"/", u"png", 300, 0, 1};
  EXPECT_EQ(SplitCommandLine(BuildConverterCommand(root, PathStyle::Posix))[0], u"//bin/xps2img");
}

// Splitting a built command gives back every piece of the job exactly.
TEST(BuildConverterCommand, RoundTripsThroughSplitCommandLine) {
  const std::u16string folders[] = {u"C:\\Tools\\Conv", u"C:\\", u"\\\\srv\\share\\", u"D:\\a b\\"};
  const std::u16string paths[] = {
      u"D:\\Docs\\report.xps", u"E:\\", u"E:\\\\", u"\\\\srv\\s\\", u"D:\\图 表\\Ω.xps", u"",
      u"a\\\"b\\\\\"c\\",      u"\"",   u"x\ty"};
  const std::u16string formats[] = {u"jpeg", u"", u"my  png", u" tiff ", u"a\tb"};
  for (const auto& folder : folders) {
    for (const auto& path : paths) {
      for (const auto& format : formats) {
        for (auto style : {PathStyle::Windows, PathStyle::Posix}) {
          const ConversionJob job{folder, path, path + u"out", format, -42, 2, 3};
          const auto arguments = SplitCommandLine(BuildConverterCommand(job, style));
          std::vector<std::u16string> expected = {
              folder + (style == PathStyle::Windows ? u"\\bin\\xps2img" : u"/bin/xps2img"), path,
              path + u"out", u"-f"};
          std::u16string word;
          for (char16_t c : format + u" ") {
            if (c != u' ' && c != u'\t') {
              word += c;
            } else if (!word.empty()) {
              expected.push_back(std::exchange(word, {}));
            }
          }
          expected.insert(expected.end(), {u"-d", u"-42", u"-i", u"图3-"});
          EXPECT_EQ(arguments, expected);
        }
      }
    }
  }
}

}  // namespace
