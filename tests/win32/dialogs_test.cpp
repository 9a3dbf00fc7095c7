#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include "app/win32/wide.h"
#include "base/texts.h"
#include "tests/win32/dialog_answerer.h"
#include "tests/win32/shown_form1.h"
#include "tests/win32/temp_folder.h"
#include "tests/win32/window_image.h"

namespace {

constexpr int kFileTypeField = 0x470;  // cmb1

BOOL CALLBACK FindText(HWND child, LPARAM data) {
  auto* wanted = reinterpret_cast<std::pair<std::wstring, bool>*>(data);
  wchar_t text[128] = {};
  GetWindowTextW(child, text, 128);
  if (wanted->first == text) wanted->second = true;
  return TRUE;
}

bool ShowsText(HWND dialog, const std::wstring& text) {
  std::pair<std::wstring, bool> wanted{text, false};
  EnumChildWindows(dialog, FindText, reinterpret_cast<LPARAM>(&wanted));
  return wanted.second;
}

class DialogsTest : public ShownForm1 {
 protected:
  void SetUp() override {
    ShownForm1::SetUp();
    // The open-file dialog starts in the current folder.
    SetCurrentDirectoryW(sources_.Path().c_str());
    for (const wchar_t* name :
         {L"a.xps", L"图 Ω.xps", L"打印.oxps", L"Scan.OXPS", L"notes.pdf", L"a.xps.txt"}) {
      WriteBytes(sources_ / name, "");
    }
  }

  void TearDown() override {
    SetCurrentDirectoryW(L"C:\\");
    ShownForm1::TearDown();
  }

  TempFolder sources_{L"sources"};
};

// The dialog offers XPS and OpenXPS documents under one filter row, whatever the letter case
// of their extension; a screenshot of it is left in the build folder.
TEST_F(DialogsTest, Button1ListsTheChosenXpsAndOpenXpsFilesAndACancelKeepsThem) {
  std::wstring filterShown;
  std::vector<std::wstring> listed;
  std::string image;
  {
    DialogAnswerer answerer([&](HWND dialog) {
      wchar_t text[64] = {};
      SendDlgItemMessageW(dialog, kFileTypeField, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
      filterShown = text;
      listed = ListedFiles(dialog, 4);
      image = WindowImage(dialog);
      TypeFileNames(L"\"图 Ω.xps\" \"打印.oxps\"")(dialog);
    });
    Click(u"Button1");
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].owner, form_->Window());
  }
  EXPECT_TRUE(filterShown.starts_with(L"XPS文件")) << Utf8(Utf16(filterShown));
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"Scan.OXPS", L"a.xps", L"图 Ω.xps", L"打印.oxps"}));
  ASSERT_FALSE(image.empty());
  WriteBytes(WinePath(DIALOG_SCREENSHOT_PATH), image);
  const std::u16string folder = Utf16(sources_.Path());
  const std::vector<std::u16string> chosen = {folder + u"\\图 Ω.xps", folder + u"\\打印.oxps"};
  EXPECT_EQ(form_->SourceItems(), chosen);

  {
    DialogAnswerer answerer(
        [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); });
    Click(u"Button1");
    EXPECT_EQ(answerer.Seen().size(), 1u);
  }
  EXPECT_EQ(form_->SourceItems(), chosen);
}

TEST_F(DialogsTest, Button2AsksForTheFolderOwnedByTheApplicationWindow) {
  TempFolder out(L"out 图");
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  bool mainEnabled = true;
  bool titleShown = false;
  UINT errorMode = 0;
  {
    DialogAnswerer answerer([&](HWND dialog) {
      mainEnabled = IsWindowEnabled(form_->Window());
      titleShown = ShowsText(dialog, Wide(texts::kFolderDialogTitle));
      errorMode = GetErrorMode();
      SelectFolder(out.Path())(dialog);
    });
    Click(u"Button2");
    ASSERT_EQ(answerer.Seen().size(), 1u);
    const SeenDialog& seen = answerer.Seen()[0];
    EXPECT_EQ(seen.owner, application_->Window());
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(form_->Window(), MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_NEAR(seen.rect.left + seen.rect.right, monitor.rcWork.left + monitor.rcWork.right, 2);
    EXPECT_NEAR(seen.rect.top + seen.rect.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 2);
  }
  EXPECT_FALSE(mainEnabled);
  EXPECT_TRUE(titleShown);
  EXPECT_EQ(errorMode, static_cast<UINT>(SEM_FAILCRITICALERRORS));
  EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
  EXPECT_TRUE(IsWindowEnabled(form_->Window()));
  EXPECT_EQ(form_->OutputDirectory(), Utf16(out.Path()));

  {
    DialogAnswerer answerer(
        [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); });
    Click(u"Button2");
    EXPECT_EQ(answerer.Seen().size(), 1u);
  }
  EXPECT_EQ(form_->OutputDirectory(), Utf16(out.Path()));
  EXPECT_TRUE(IsWindowEnabled(form_->Window()));
}

}  // namespace
