#include <windows.h>

#include <gtest/gtest.h>

#include "app/win32/wide.h"
#include "convert/convert_operation.h"
#include "tests/fake_desktop.h"
#include "tests/win32/scripted_desktop.h"
#include "tests/win32/started_program.h"
#include "tests/win32/temp_folder.h"
#include "tidy/jpeg_fix.h"

namespace {

using namespace std::chrono_literals;

std::u16string Fixture(std::u16string_view name) {
  return Utf16(WinePath(FIXTURES_DIR)) + u"\\" + std::u16string(name);
}

int RunningConverters() { return RunningProcesses(L"xps2img.exe"); }

void AwaitConverters() {
  Sleep(500);
  WaitFor([] { return RunningConverters() == 0; }, 60s);
}

// Vellumor.exe's own converter, bin\xps2img.exe, started by the convert operation for two
// sources, then the JPEG fix on what it wrote.
TEST(EndToEnd, ConvertsTwoSourcesAndFixesTheirExtensions) {
  TempFolder out(L"图 Ω images");
  FakeForm form;
  form.items = {Fixture(u"sample.xps"), Fixture(u"sample.xps")};
  form.format = u"jpeg";
  form.resolution = u"36";
  ScriptedDesktop desktop(Utf16(out.Path()), Utf16(OwnFolder() + L"\\Vellumor.exe"));
  ConvertSources(form, desktop);
  AwaitConverters();
  ASSERT_EQ(RunningConverters(), 0);

  const std::vector<std::wstring> images = FileNames(out.Path());
  ASSERT_EQ(images.size(), 4u) << "two pages from each of two sources";
  for (const std::wstring& name : images) {
    EXPECT_TRUE(name.starts_with(L"图1-") || name.starts_with(L"图2-")) << Utf8(Utf16(name));
    EXPECT_TRUE(name.ends_with(L".jpeg")) << Utf8(Utf16(name));
    EXPECT_EQ(ReadBytes(out / name).value_or("").substr(0, 2), "\xFF\xD8");
  }

  FixJpegExtensions(form, desktop);
  std::vector<std::wstring> renamed;
  for (std::wstring name : images) renamed.push_back(name.replace(name.size() - 5, 5, L".jpg"));
  EXPECT_EQ(FileNames(out.Path()), renamed);
}

}  // namespace
