#include "convert/command.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
