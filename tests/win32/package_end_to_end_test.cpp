#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "app/win32/form1.h"
#include "app/win32/wide.h"
#include "tests/win32/dialog_answerer.h"
#include "tests/win32/started_program.h"
#include "tests/win32/temp_folder.h"

namespace {

using namespace std::chrono_literals;

// A message to a window of another process, given up on when that process does not answer.
std::optional<LRESULT> Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

struct ControlSearch {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK FindControl(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ControlSearch*>(data);
  if (GetDlgCtrlID(child) != search->id) return TRUE;
  search->found = child;
  return FALSE;
}

// The control named `name` of the window Form1 that another process shows.
HWND ControlOf(HWND form, std::u16string_view name) {
  ControlSearch search{TForm1::ControlId(name)};
  EnumChildWindows(form, FindControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<std::wstring> ListItems(HWND list) {
  std::vector<std::wstring> items;
  const LRESULT count = Ask(list, LB_GETCOUNT, 0, 0).value_or(0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring item(Ask(list, LB_GETTEXTLEN, i, 0).value_or(0) + 1, L'\0');
    item.resize(Ask(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data())).value_or(0));
    items.push_back(item);
  }
  return items;
}

std::string Listing(const std::wstring& folder) {
  std::wstring names = L"files:";
  for (const std::wstring& name : FileNames(folder)) names += L" " + name;
  return Utf8(Utf16(names));
}

// The width and height in a JPEG's frame header; zeros when there is none.
std::pair<int, int> JpegSize(const std::string& jpeg) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(jpeg[i]); };
  for (std::size_t i = 2; i + 9 <= jpeg.size() && byte(i) == 0xFF;) {
    const unsigned char marker = byte(i + 1);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) return {byte(i + 7) << 8 | byte(i + 8), byte(i + 5) << 8 | byte(i + 6)};
    i += 2 + (byte(i + 2) << 8 | byte(i + 3));
  }
  return {0, 0};
}

struct PeHeader {
  unsigned machine = 0;  // IMAGE_FILE_MACHINE_*
  unsigned magic = 0;    // of the optional header: PE32 or PE32+
};

// What a program's PE header says of the processor it is built for; zeros when it has none.
PeHeader ReadPeHeader(const std::string& image) {
  const auto word = [&](std::size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>(image[i]) |
                                 static_cast<unsigned char>(image[i + 1]) << 8);
  };
  if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0) return {};
  const std::size_t pe = word(0x3C) | static_cast<std::size_t>(word(0x3E)) << 16;
  if (pe + 26 > image.size() || image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return {};
  return {word(pe + 4), word(pe + 24)};
}

void ReportDialogs(DialogAnswerer& answerer) {
  for (const SeenDialog& seen : answerer.Seen()) {
    ADD_FAILURE() << "unexpected dialog " << Utf8(Utf16(seen.caption + L": " + seen.text));
  }
}

// The package as a user unpacks it, and Vellumor.exe from there driven through its window:
// an OpenXPS and an XPS document chosen in the open-file dialog, turned into JPEG images by
// bin\xps2img.exe in a folder chosen in the folder dialog, the JPEG fix, and the window closed.
TEST(Package, ConvertsAnOpenXpsAndAnXpsDocumentToJpegAndFixesTheirExtensions) {
  TempFolder out(L"图 Ω images");
  const std::wstring fixtures = WinePath(FIXTURES_DIR);
  // The open-file dialog starts in the program's current folder: the sample documents'.
  StartedProgram vellumor(WinePath(PACKAGE_DIR) + L"\\Vellumor.exe", fixtures);
  HWND form = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (form = vellumor.Window(L"TForm1")) != nullptr; }, 15s));

  {
    DialogAnswerer answerer(TypeFileNames(L"\"openxps.oxps\" \"text.xps\""), vellumor.Id());
    PostMessageW(ControlOf(form, u"Button1"), BM_CLICK, 0, 0);
    HWND list = ControlOf(form, u"ListBox1");
    EXPECT_TRUE(WaitFor([&] { return Ask(list, LB_GETCOUNT, 0, 0) == 2; }, 15s));
    EXPECT_EQ(answerer.Seen().size(), 1u);
    const std::vector<std::wstring> chosen = {fixtures + L"\\openxps.oxps",
                                              fixtures + L"\\text.xps"};
    ASSERT_EQ(ListItems(list), chosen);
  }

  const auto setText = [&](std::u16string_view combo, const wchar_t* text) {
    return Ask(ControlOf(form, combo), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) == TRUE;
  };
  ASSERT_TRUE(setText(u"cbb1", L"jpeg"));
  ASSERT_TRUE(setText(u"ComboBox1", L"72"));
  // One page of openxps.oxps, three of text.xps.
  const std::vector<std::wstring> jpegs = {L"图1-1.jpeg", L"图2-1.jpeg", L"图2-2.jpeg",
                                           L"图2-3.jpeg"};
  {
    DialogAnswerer answerer(SelectFolder(out.Path()), vellumor.Id());
    PostMessageW(ControlOf(form, u"Button2"), BM_CLICK, 0, 0);
    // Images appear only when complete; once every one is there and the tool's converters
    // have ended, nothing more comes.
    const bool converted = WaitFor(
        [&] {
          return FileNames(out.Path()) == jpegs &&
                 RunningProcesses(L"xps2img.exe", vellumor.Id()) == 0;
        },
        40s);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    ASSERT_TRUE(converted) << Listing(out.Path());
  }
  for (const std::wstring& name : jpegs) {
    EXPECT_EQ(ReadBytes(out / name).value_or("").substr(0, 2), "\xFF\xD8") << Utf8(Utf16(name));
  }
  // The window's resolution reached the converter: text.xps's last page is 5 x 3 inches.
  EXPECT_EQ(JpegSize(ReadBytes(out / L"图2-3.jpeg").value_or("")), std::make_pair(360, 216));

  std::vector<std::wstring> jpgs;
  for (std::wstring name : jpegs) jpgs.push_back(name.replace(name.size() - 5, 5, L".jpg"));
  {
    // Button3 shows no dialog here; an error report is noted and closed rather than left open.
    DialogAnswerer answerer(PressOk, vellumor.Id());
    PostMessageW(ControlOf(form, u"Button3"), BM_CLICK, 0, 0);
    // Every image renamed and the script gone: the fix has waited for it and deleted it.
    const bool fixed = WaitFor([&] { return FileNames(out.Path()) == jpgs; }, 20s);
    ReportDialogs(answerer);
    ASSERT_TRUE(fixed) << Listing(out.Path());
  }

  PostMessageW(form, WM_CLOSE, 0, 0);
  ASSERT_TRUE(vellumor.AwaitExit(10s));
  EXPECT_EQ(vellumor.ExitCode(), 0u);
}

// Both programs of the package are built for the processor of this build: the 64-bit package
// holds no 32-bit program, nor the other way round.
TEST(Package, HoldsProgramsForThisBuildsProcessor) {
#ifdef _WIN64
  const PeHeader expected{IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC};
#else
  const PeHeader expected{IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC};
#endif
  for (const wchar_t* program : {L"\\Vellumor.exe", L"\\bin\\xps2img.exe"}) {
    const std::wstring path = WinePath(PACKAGE_DIR) + program;
    const PeHeader got = ReadPeHeader(ReadBytes(path).value_or(""));
    EXPECT_EQ(got.machine, expected.machine) << Utf8(Utf16(path));
    EXPECT_EQ(got.magic, expected.magic) << Utf8(Utf16(path));
  }
}

}  // namespace
