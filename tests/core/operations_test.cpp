#include <gtest/gtest.h>

#include "app/dialog_filter.h"
#include "app/form.h"
#include "app/windows_command_line.h"
#include "base/operation_error.h"
#include "choose/choose_sources.h"
#include "convert/convert_operation.h"
#include "fake_desktop.h"
#include "tidy/jpeg_fix.h"

namespace {

using Paths = std::vector<std::u16string>;

// The command lines a Windows desktop makes of what was started.
Paths WindowsLines(const std::vector<ProgramCommand>& started) {
  Paths lines;
  for (const ProgramCommand& command : started) {
    lines.push_back(WindowsCommandLine(command.program, command.arguments));
  }
  return lines;
}

TEST(JoinSelection, JoinsWithOneSeparatorAndKeepsAbsoluteNames) {
  EXPECT_EQ(JoinSelection({u"D:\\Docs", {u"a.xps", u"b.xps"}}, PathStyle::Windows),
            (Paths{u"D:\\Docs\\a.xps", u"D:\\Docs\\b.xps"}));
  EXPECT_EQ(JoinSelection({u"D:\\", {u"b.xps", u"a.xps", u"b.xps"}}, PathStyle::Windows),
            (Paths{u"D:\\b.xps", u"D:\\a.xps", u"D:\\b.xps"}));
  EXPECT_EQ(
      JoinSelection({u"D:\\Docs", {u"E:\\x.xps", u"\\\\srv\\y.xps", u"z.txt"}}, PathStyle::Windows),
      (Paths{u"E:\\x.xps", u"\\\\srv\\y.xps", u"D:\\Docs\\z.txt"}));
  EXPECT_EQ(JoinSelection({u"", {u"D:\\only.xps"}}, PathStyle::Windows), Paths{u"D:\\only.xps"});
  EXPECT_EQ(JoinSelection({u"/home/u", {u"a.xps", u"/tmp/b.xps"}}, PathStyle::Posix),
            (Paths{u"/home/u/a.xps", u"/tmp/b.xps"}));
  EXPECT_EQ(JoinSelection({u"/", {u"a.xps"}}, PathStyle::Posix), Paths{u"/a.xps"});
  EXPECT_EQ(JoinSelection({u"/home/u", {u"C:a"}}, PathStyle::Posix), Paths{u"/home/u/C:a"});
}

TEST(ChooseSources, ReplacesTheListOrLeavesItOnCancel) {
  FakeDesktop desktop;
  FakeForm form;
  form.items = {u"old.xps"};
  ChooseSources(form, desktop);
  EXPECT_EQ(form.items, Paths{u"old.xps"});
  EXPECT_EQ(desktop.calls, Paths{u"ChooseFiles XPS文件|*.xps;*.oxps"});

  desktop.fileAnswer = FileSelection{u"D:\\Docs", {u"b.xps", u"a.xps"}};
  ChooseSources(form, desktop);
  EXPECT_EQ(form.items, (Paths{u"D:\\Docs\\b.xps", u"D:\\Docs\\a.xps"}));

  desktop.fileAnswer = FileSelection{u"", {u"E:\\c.xps"}};
  ChooseSources(form, desktop);
  EXPECT_EQ(form.items, Paths{u"E:\\c.xps"});
}

TEST(ConvertSources, CancelHasNoEffect) {
  FakeDesktop desktop;
  FakeForm form;
  form.items = {u"D:\\a.xps"};
  form.outputDirectory = u"E:\\Before";
  ConvertSources(form, desktop);
  EXPECT_EQ(form.outputDirectory, u"E:\\Before");
  EXPECT_EQ(desktop.calls, Paths{u"ChooseFolder 文件保存路径浏览... "});
}

TEST(ConvertSources, StoresTheFolderEvenForAnEmptyList) {
  FakeDesktop desktop;
  desktop.folderAnswer = u"E:\\Images";
  FakeForm form;
  ConvertSources(form, desktop);
  EXPECT_EQ(form.outputDirectory, u"E:\\Images");
  EXPECT_TRUE(desktop.started.empty());
}

TEST(ConvertSources, StartsOneCommandPerItemInListOrder) {
  FakeDesktop desktop;
  desktop.folderAnswer = u"E:\\Images";
  FakeForm form;
  form.items = {u"D:\\Docs\\a.xps", u"D:\\Docs\\b.xps", u"D:\\Docs\\a.xps"};
  form.format = u"gif";
  form.resolution = u"150";
  ConvertSources(form, desktop);
  const std::u16string prefix = u"\"C:\\Tools\\Conv\\bin\\xps2img\" \"D:\\Docs\\";
  EXPECT_EQ(WindowsLines(desktop.started),
            (Paths{prefix + u"a.xps\" \"E:\\Images\" -f gif -d 150 -i 图1-",
                   prefix + u"b.xps\" \"E:\\Images\" -f gif -d 150 -i 图2-",
                   prefix + u"a.xps\" \"E:\\Images\" -f gif -d 150 -i 图3-"}));
  EXPECT_EQ(form.resolutionReads, 1);
  EXPECT_EQ(desktop.calls.front(), u"ChooseFolder 文件保存路径浏览... ");
  EXPECT_EQ(desktop.calls.back(), u"StartProcess");

  desktop.started.clear();
  form.items = {u"D:\\Docs\\only.xps"};
  form.resolution = u"junk";
  ConvertSources(form, desktop);
  EXPECT_EQ(WindowsLines(desktop.started),
            Paths{prefix + u"only.xps\" \"E:\\Images\" -f gif -d 300 -i 图"});
}

TEST(ConvertSources, UsesPosixPathsOnPosix) {
  FakeDesktop desktop;
  desktop.style = PathStyle::Posix;
  desktop.executablePath = u"/opt/vellumor/vellumor";
  desktop.folderAnswer = u"/tmp/图 out";
  FakeForm form;
  form.items = {u"/home/u/a b.xps"};
  ConvertSources(form, desktop);
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.started[0].program, u"/opt/vellumor/bin/xps2img");
  EXPECT_EQ(
      ArgumentList(desktop.started[0].arguments),
      (Paths{u"/home/u/a b.xps", u"/tmp/图 out", u"-f", u"jpeg", u"-d", u"300", u"-i", u"图"}));
}

TEST(FixJpegExtensions, ShowsTheMessageWithoutAFolder) {
  FakeDesktop desktop;
  FakeForm form;
  FixJpegExtensions(form, desktop);
  EXPECT_EQ(desktop.calls, Paths{u"ShowMessage 路径不存在！"});

  desktop.calls.clear();
  form.outputDirectory = u"E:\\Gone";
  FixJpegExtensions(form, desktop);
  EXPECT_EQ(desktop.calls, (Paths{u"FolderExists E:\\Gone", u"ShowMessage 路径不存在！"}));
  EXPECT_TRUE(desktop.files.empty());
}

// Captures the script's bytes at the moment the shell is asked to run it.
struct ScriptReadingDesktop : FakeDesktop {
  std::string scriptSeen;
  bool RunScript(std::u16string_view path, std::u16string_view folder,
                 std::chrono::milliseconds limit) override {
    scriptSeen = files.at(std::u16string(path));
    return FakeDesktop::RunScript(path, folder, limit);
  }
};

TEST(FixJpegExtensions, WritesRunsAndDeletesTheScript) {
  ScriptReadingDesktop desktop;
  desktop.existingFolders = {u"E:\\Images"};
  FakeForm form;
  form.outputDirectory = u"E:\\Images";
  FixJpegExtensions(form, desktop);
  EXPECT_EQ(desktop.scriptSeen, "rename *.jpeg *.jpg\r\n");
  EXPECT_EQ(desktop.scriptSeen.size(), 21u);
  EXPECT_EQ(desktop.calls,
            (Paths{u"FolderExists E:\\Images", u"CreateNewFile E:\\Images\\rename.bat",
                   u"RunScript E:\\Images\\rename.bat in E:\\Images for 10000",
                   u"RemoveFile E:\\Images\\rename.bat"}));
  EXPECT_TRUE(desktop.files.empty());
}

TEST(FixJpegExtensions, KeepsTheUsersScriptAndPausesWithoutAProcess) {
  FakeDesktop desktop;
  desktop.style = PathStyle::Posix;
  desktop.scriptGivesProcess = false;
  desktop.existingFolders = {u"/out/"};
  desktop.files[u"/out//rename.sh"] = "user's own";
  desktop.files[u"/out//rename-2.sh"] = "also the user's";
  FakeForm form;
  form.outputDirectory = u"/out/";
  FixJpegExtensions(form, desktop);
  EXPECT_EQ(desktop.calls,
            (Paths{u"FolderExists /out/", u"CreateNewFile /out//rename.sh",
                   u"CreateNewFile /out//rename-2.sh", u"CreateNewFile /out//rename-3.sh",
                   u"RunScript /out//rename-3.sh in /out/ for 10000", u"Pause 1000",
                   u"RemoveFile /out//rename-3.sh"}));
  EXPECT_EQ(desktop.files.at(u"/out//rename.sh"), "user's own");
  EXPECT_EQ(desktop.files.at(u"/out//rename-2.sh"), "also the user's");
  EXPECT_EQ(desktop.files.size(), 2u);
}

TEST(FixJpegExtensions, GivesUpWithAnErrorWhenEveryNameIsTaken) {
  FakeDesktop desktop;
  desktop.existingFolders = {u"E:\\"};
  for (int attempt = 1; attempt <= 100; ++attempt) {
    desktop.files[JpegFixScriptPath(u"E:\\", attempt, PathStyle::Windows)] = "x";
  }
  FakeForm form;
  form.outputDirectory = u"E:\\";
  EXPECT_THROW(FixJpegExtensions(form, desktop), OperationError);
  EXPECT_EQ(desktop.files.size(), 100u);
  EXPECT_EQ(desktop.calls.back(), u"CreateNewFile E:\\\\rename-100.bat");
}

TEST(ErrorReportText, AddsAFullStopAfterCharactersAboveIt) {
  EXPECT_EQ(ErrorReportText(u"磁盘已满"), u"磁盘已满.");
  EXPECT_EQ(ErrorReportText(u"Denied"), u"Denied.");
  EXPECT_EQ(ErrorReportText(u"Done."), u"Done.");
  EXPECT_EQ(ErrorReportText(u"Why?"), u"Why?.");
  EXPECT_EQ(ErrorReportText(u"a-"), u"a-");
  EXPECT_EQ(ErrorReportText(u"a!"), u"a!");
  EXPECT_EQ(ErrorReportText(u"x/"), u"x/.");
  EXPECT_EQ(ErrorReportText(u""), u"");
  EXPECT_EQ(ErrorReportText(CreateFileErrorMessage(u"E:\\rename.bat", u"拒绝访问。")),
            u"无法创建文件“E:\\rename.bat”：拒绝访问。.");
}

TEST(ParseDialogFilter, ReadsDescriptionPatternPairs) {
  // The open dialog's own filter: one row offering XPS and OpenXPS documents.
  const auto rows = ParseDialogFilter(form::Control(u"OpenDialog1").text);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].description, u"XPS文件");
  EXPECT_EQ(rows[0].pattern, u"*.xps;*.oxps");
  const auto two = ParseDialogFilter(u"A|*.a|B|*.b;*.c");
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1].pattern, u"*.b;*.c");
  EXPECT_TRUE(ParseDialogFilter(u"lonely").empty());
}

}  // namespace
