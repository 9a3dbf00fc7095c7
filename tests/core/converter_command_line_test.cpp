#include <gtest/gtest.h>

#include <utility>

#include "app/windows_command_line.h"
#include "convert/command.h"
#include "tests/awkward_jobs.h"

namespace {

using Args = std::vector<std::u16string>;
using Kind = ProgramArgument::Kind;

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

// The converter's command as the Windows desktop starts it.
std::u16string Line(const ConversionJob& job, PathStyle style) {
  const ProgramCommand command = BuildConverterCommand(job, style);
  return WindowsCommandLine(command.program, command.arguments);
}

TEST(ConverterCommandLine, GivesTheWorkedExamplesByteForByte) {
  EXPECT_EQ(Line(Job(u"D:\\Docs\\report.xps", u"jpeg", u"300", 0, 1), PathStyle::Windows),
            u"\"C:\\Tools\\Conv\\bin\\xps2img\" \"D:\\Docs\\report.xps\" \"E:\\Images\" -f jpeg "
            u"-d 300 -i 图");
  EXPECT_EQ(
      Line(Job(u"D:\\Docs\\b.xps", u"png", u"600", 1, 3), PathStyle::Windows),
      u"\"C:\\Tools\\Conv\\bin\\xps2img\" \"D:\\Docs\\b.xps\" \"E:\\Images\" -f png -d 600 -i "
      u"图2-");
  EXPECT_TRUE(
      Line(Job(u"a", u"png", u"abc", 0, 1), PathStyle::Windows).ends_with(u" -d 300 -i 图"));
  EXPECT_TRUE(
      Line(Job(u"a", u"png", u"$96", 0, 1), PathStyle::Windows).ends_with(u" -d 150 -i 图"));
  EXPECT_TRUE(Line(Job(u"a", u"png", u"0", 0, 1), PathStyle::Windows).ends_with(u" -d 0 -i 图"));
  EXPECT_TRUE(Line(Job(u"a", u"png", u"-$FFFFFFF", 0, 1), PathStyle::Windows)
                  .ends_with(u" -d -268435455 -i 图"));
  EXPECT_TRUE(Line(Job(u"a", u"png", u"$80000000", 0, 1), PathStyle::Windows)
                  .ends_with(u" -d -2147483648 -i 图"));
}

TEST(ConverterCommandLine, InsertsFormatUnquotedAndNumbersStemsFromOne) {
  EXPECT_TRUE(Line(Job(u"a", u"", u"300", 0, 1), PathStyle::Windows)
                  .ends_with(u"\"E:\\Images\" -f  -d 300 -i 图"));
  EXPECT_TRUE(Line(Job(u"a", u"my png", u"300", 0, 1), PathStyle::Windows)
                  .ends_with(u" -f my png -d 300 -i 图"));
  EXPECT_TRUE(Line(Job(u"a", u"gif", u"150", 0, 2), PathStyle::Windows)
                  .ends_with(u" -f gif -d 150 -i 图1-"));
  EXPECT_TRUE(Line(Job(u"a", u"gif", u"150", 9, 12), PathStyle::Windows).ends_with(u" -i 图10-"));
  // A list that was emptied is not a one-item list: the stem still carries the number.
  EXPECT_TRUE(Line(Job(u"a", u"gif", u"150", 0, 0), PathStyle::Windows).ends_with(u" -i 图1-"));
}

TEST(ConverterCommandLine, DoublesBackslashesBeforeAClosingQuote) {
  ConversionJob job = Job(u"D:\\Docs\\a.xps", u"png", u"300", 0, 1);
  job.outputFolder = u"E:\\";
  job.programFolder = ProgramFolder(u"C:\\run.exe", PathStyle::Windows);
  EXPECT_EQ(Line(job, PathStyle::Windows),
            u"\"C:\\\\bin\\xps2img\" \"D:\\Docs\\a.xps\" \"E:\\\\\" -f png -d 300 -i 图");
}

TEST(WindowsCommandLine, QuotesWholeArgumentsAndLeavesWordsAsTheyStand) {
  EXPECT_EQ(
      WindowsCommandLine(u"/opt/v/bin/xps2img", {{Kind::Whole, u"/home/u/my \"best\\\" doc.xps"},
                                                 {Kind::Whole, u"/tmp/out\\"},
                                                 {Kind::Words, u"-f"},
                                                 {Kind::Words, u" tiff  x"},
                                                 {Kind::Whole, u""},
                                                 {Kind::Words, u""}}),
      u"\"/opt/v/bin/xps2img\" \"/home/u/my \\\"best\\\\\\\" doc.xps\" \"/tmp/out\\\\\" -f  tiff  "
      u"x "
      u"\"\" ");
  EXPECT_EQ(WindowsCommandLine(u"C:\\a b\\p", {}), u"\"C:\\a b\\p\"");
}

TEST(BuildConverterCommand, UsesSlashesOnPosixAndPassesPathsWhole) {
  const ConversionJob job{
      u"/opt/v", u"/home/u/my \"best\\\" doc.xps", u"/tmp/out\\", u"png", 600, 0, 1};
  const ProgramCommand command = BuildConverterCommand(job, PathStyle::Posix);
  EXPECT_EQ(command.program, u"/opt/v/bin/xps2img");
  EXPECT_EQ(ArgumentList(command.arguments), (Args{u"/home/u/my \"best\\\" doc.xps", u"/tmp/out\\",
                                                   u"-f", u"png", u"-d", u"600", u"-i", u"图"}));
  const ConversionJob root{
      ProgramFolder(u"/vellumor", PathStyle::Posix), u"/a.xps", u"/", u"png", 300, 0, 1};
  EXPECT_EQ(BuildConverterCommand(root, PathStyle::Posix).program, u"//bin/xps2img");
}

// Every piece of the job reaches the converter exactly; the format as its words.
TEST(BuildConverterCommand, GivesEveryPieceOfTheJobAsItsArguments) {
  for (const ConversionJob& job : AwkwardJobs()) {
    for (auto style : {PathStyle::Windows, PathStyle::Posix}) {
      const ProgramCommand command = BuildConverterCommand(job, style);
      EXPECT_EQ(
          command.program,
          job.programFolder + (style == PathStyle::Windows ? u"\\bin\\xps2img" : u"/bin/xps2img"));
      Args expected = {job.sourcePath, job.outputFolder, u"-f"};
      std::u16string word;
      for (char16_t c : job.format + u" ") {
        if (c != u' ' && c != u'\t') {
          word += c;
        } else if (!word.empty()) {
          expected.push_back(std::exchange(word, {}));
        }
      }
      expected.insert(expected.end(), {u"-d", u"-42", u"-i", u"图3-"});
      EXPECT_EQ(ArgumentList(command.arguments), expected);
    }
  }
}

}  // namespace
