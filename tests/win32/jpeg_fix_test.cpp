#include <gtest/gtest.h>

#include "app/win32/wide.h"
#include "app/win32/win32_desktop.h"
#include "base/operation_error.h"
#include "tests/fake_desktop.h"
#include "tests/win32/temp_folder.h"
#include "tidy/jpeg_fix.h"

namespace {

// The fix through the real shell request and Wine's command processor.
TEST(JpegFix, RenamesJpegImagesAndKeepsEverythingElse) {
  TempFolder out(L"图 Ω out");
  WriteBytes(out / L"a.jpeg", "A");
  WriteBytes(out / L"图1-1.jpeg", "P");
  WriteBytes(out / L"b.jpeg", "B");
  WriteBytes(out / L"b.jpg", "kept");
  WriteBytes(out / L"c.png", "C");
  const std::string usersScript = "@echo off\r\nrem the user's own script\r\n";
  WriteBytes(out / L"rename.bat", usersScript);

  FakeForm form;
  form.outputDirectory = Utf16(out.Path());
  Win32Desktop desktop(nullptr, nullptr);
  FixJpegExtensions(form, desktop);

  const std::vector<std::wstring> expected = {L"a.jpg", L"b.jpeg",     L"b.jpg",
                                              L"c.png", L"rename.bat", L"图1-1.jpg"};
  EXPECT_EQ(FileNames(out.Path()), expected);
  EXPECT_EQ(ReadBytes(out / L"a.jpg"), "A");
  EXPECT_EQ(ReadBytes(out / L"图1-1.jpg"), "P");
  EXPECT_EQ(ReadBytes(out / L"b.jpeg"), "B");
  EXPECT_EQ(ReadBytes(out / L"b.jpg"), "kept");
  EXPECT_EQ(ReadBytes(out / L"rename.bat"), usersScript);
}

TEST(JpegFix, WithoutJpegImagesTheScriptComesAndGoes) {
  TempFolder out(L"empty");
  FakeForm form;
  form.outputDirectory = Utf16(out.Path());
  Win32Desktop desktop(nullptr, nullptr);
  FixJpegExtensions(form, desktop);
  EXPECT_EQ(FileNames(out.Path()), std::vector<std::wstring>{});
}

// Wine lets its user write into a folder marked read-only, so sysfs, which refuses every new
// file, stands in for one.
TEST(JpegFix, AFolderThatRefusesTheScriptGivesAnErrorNamingIt) {
  Win32Desktop desktop(nullptr, nullptr);
  const std::u16string folder = u"Z:\\sys";
  ASSERT_TRUE(desktop.FolderExists(folder));
  FakeForm form;
  form.outputDirectory = folder;
  try {
    FixJpegExtensions(form, desktop);
    ADD_FAILURE() << "no error";
  } catch (const OperationError& error) {
    const std::u16string named = CreateFileErrorMessage(u"Z:\\sys\\rename.bat", u"");
    EXPECT_TRUE(error.Message().starts_with(named)) << Utf8(error.Message());
    EXPECT_GT(error.Message().size(), named.size() + 2) << "no reason given";
  }
  EXPECT_FALSE(Exists(L"Z:\\sys\\rename.bat"));
}

TEST(JpegFix, CreatesOnlyNewFilesWithTheirExactBytes) {
  TempFolder folder(L"files");
  Win32Desktop desktop(nullptr, nullptr);
  const std::u16string path = Utf16(folder / L"new.bat");
  EXPECT_TRUE(desktop.CreateNewFile(path, "rename *.jpeg *.jpg\r\n"));
  EXPECT_EQ(ReadBytes(folder / L"new.bat"), "rename *.jpeg *.jpg\r\n");
  EXPECT_FALSE(desktop.CreateNewFile(path, "other"));
  EXPECT_EQ(ReadBytes(folder / L"new.bat"), "rename *.jpeg *.jpg\r\n");
  EXPECT_THROW(desktop.CreateNewFile(Utf16(folder / L"missing\\x.bat"), "x"), OperationError);
  desktop.RemoveFile(path);
  EXPECT_FALSE(Exists(folder / L"new.bat"));
  EXPECT_FALSE(desktop.FolderExists(path));
  EXPECT_TRUE(desktop.FolderExists(Utf16(folder.Path())));
}

}  // namespace
