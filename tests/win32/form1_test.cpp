#include "app/win32/form1.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>

#include "app/form.h"
#include "app/layout.h"
#include "app/tab_order.h"
#include "app/win32/wide.h"
#include "base/operation_error.h"
#include "tests/win32/dialog_answerer.h"
#include "tests/win32/shown_form1.h"
#include "tests/win32/temp_folder.h"

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// Design pixels on the screen at hand, as the window scales them.
int Scaled(int pixels) { return ScaleToDpi(pixels, ScreenDpi()); }

// The control's rectangle within its parent's client area. A closed combo box is as high as
// its font makes it (21 pixels at 96 dpi for Windows' Tahoma, 22 for Wine's): within a
// little of the table's 21, that is left out.
Rect RectInParent(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  const int height = rect.bottom - rect.top;
  const bool combo = ClassOf(control) == L"ComboBox";
  const int tableHeight = Scaled(21);
  return {rect.left, rect.top, rect.right - rect.left,
          combo && std::abs(height - tableHeight) <= Scaled(2) ? tableHeight : height};
}

// Where the control belongs at the initial size: the table's place at 96 dpi, and on other
// screens the place the shared layout gives for the scaled client area.
Rect TableRect(const form::ControlSpec& row) {
  const int dpi = ScreenDpi();
  if (dpi == form::kDesignDpi) return {row.left, row.top, row.width, row.height};
  const int width = Scaled(form::kClientWidth);
  const int height = Scaled(form::kClientHeight);
  return RectOf(LayOutControls(width, height, dpi), row.name);
}

std::wstring NativeClass(form::ControlKind kind) {
  switch (kind) {
    case form::ControlKind::ListBox:
      return L"ListBox";
    case form::ControlKind::Panel:
      return L"TPanel";
    case form::ControlKind::Button:
      return L"Button";
    case form::ControlKind::Label:
      return L"Static";
    case form::ControlKind::ComboBox:
      return L"ComboBox";
    case form::ControlKind::StatusBar:
      return L"msctls_statusbar32";
    case form::ControlKind::OpenDialog:
      break;
  }
  return L"";
}

// At 96 dpi, as the test display has it.
class Form1Test : public ShownForm1 {
 protected:
  void SetClientSize(int width, int height) {
    HWND window = form_->Window();
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, GetWindowLongW(window, GWL_STYLE), FALSE,
                       GetWindowLongW(window, GWL_EXSTYLE));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    Pump();
  }
};

TEST_F(Form1Test, TheWindowIsOwnedByTheHiddenApplicationWindow) {
  HWND window = form_->Window();
  EXPECT_EQ(ClassOf(window), Wide(form::kWindowClass));
  EXPECT_EQ(TextOf(window), L"Vellumor");
  EXPECT_EQ(GetWindow(window, GW_OWNER), application_->Window());
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME);
  const auto buttonFace = static_cast<LONG_PTR>(COLOR_BTNFACE + 1);
  EXPECT_EQ(GetClassLongPtrW(window, GCLP_HBRBACKGROUND), buttonFace);
  EXPECT_EQ(GetClassLongPtrW(form_->Control(u"Panel2"), GCLP_HBRBACKGROUND), buttonFace);
  EXPECT_EQ(TextOf(application_->Window()), L"Vellumor");
  EXPECT_FALSE(IsWindowVisible(application_->Window()));

  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, Scaled(form::kClientWidth));
  EXPECT_EQ(client.bottom, Scaled(form::kClientHeight));
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(Form1Test, EveryControlStandsAsTheTableSays) {
  for (const form::ControlSpec& row : form::kControls) {
    if (row.kind == form::ControlKind::OpenDialog) continue;
    SCOPED_TRACE(Utf8(row.name));
    HWND control = form_->Control(row.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), NativeClass(row.kind));
    EXPECT_EQ(GetParent(control),
              row.parent == form::kWindowName ? form_->Window() : form_->Control(row.parent));
    EXPECT_EQ(RectInParent(control), TableRect(row));
    if (row.kind != form::ControlKind::StatusBar) {
      EXPECT_EQ(TextOf(control), Wide(row.text));
    }

    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_STREQ(font.lfFaceName, L"Tahoma");
    EXPECT_EQ(font.lfHeight, -Scaled(form::kFontHeightPixels));
    EXPECT_EQ(font.lfWeight, FW_NORMAL);

    std::vector<std::wstring> items;
    if (row.kind == form::ControlKind::ComboBox) {
      EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & 3, CBS_DROPDOWN);
      for (int i = 0; i < SendMessageW(control, CB_GETCOUNT, 0, 0); ++i) {
        std::wstring item(SendMessageW(control, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
        item.resize(SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data())));
        items.push_back(item);
      }
    }
    std::vector<std::wstring> expectedItems;
    for (std::u16string_view item : row.items) expectedItems.push_back(Wide(item));
    EXPECT_EQ(items, expectedItems);
  }
}

TEST_F(Form1Test, TheListAndTheStatusBarAreSetUp) {
  HWND list = form_->Control(u"ListBox1");
  const auto style = GetWindowLongW(list, GWL_STYLE);
  EXPECT_FALSE(style & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
  EXPECT_TRUE(style & LBS_NOINTEGRALHEIGHT);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), Scaled(13));
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
  // The vertical scroll bar shows once the items do not fit.
  form_->ReplaceSourceItems(std::vector<std::u16string>(40, u"D:\\a.xps"));
  EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL);

  HWND bar = form_->Control(u"StatusBar1");
  EXPECT_TRUE(GetWindowLongW(bar, GWL_STYLE) & SBARS_SIZEGRIP);
  int edges[4] = {};
  ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
  EXPECT_EQ(edges[0], Scaled(400));
  EXPECT_EQ(edges[1], -1);
  std::vector<std::wstring> texts;
  for (int part = 0; part < 2; ++part) {
    std::wstring text(LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0)) + 1, L'\0');
    text.resize(
        LOWORD(SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()))));
    texts.push_back(text);
  }
  // A leading tab centres a status bar text.
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"", L"\tQuorvel出品"}));
}

TEST_F(Form1Test, FormStateReadsAndWritesTheControls) {
  form_->ReplaceSourceItems({u"D:\\图\\a.xps", u"D:\\b.xps", u"D:\\b.xps"});
  EXPECT_EQ(form_->SourceItems(),
            (std::vector<std::u16string>{u"D:\\图\\a.xps", u"D:\\b.xps", u"D:\\b.xps"}));
  form_->ReplaceSourceItems({u"E:\\c.xps"});
  EXPECT_EQ(form_->SourceItems(), std::vector<std::u16string>{u"E:\\c.xps"});
  EXPECT_EQ(form_->FormatText(), u"jpeg");
  EXPECT_EQ(form_->ResolutionText(), u"300");
  SetWindowTextW(form_->Control(u"cbb1"), L"png 图");
  SetWindowTextW(form_->Control(u"ComboBox1"), L"$96");
  EXPECT_EQ(form_->FormatText(), u"png 图");
  EXPECT_EQ(form_->ResolutionText(), u"$96");
  EXPECT_EQ(form_->OutputDirectory(), u"");
}

TEST_F(Form1Test, TabAndShiftTabFollowTheTabOrder) {
  const std::vector<std::u16string_view> sequence = TabSequence();
  SetFocus(form_->Control(sequence.front()));
  // The focused control itself, or the combo box whose edit field holds the focus.
  const auto focused = [] {
    HWND focus = GetFocus();
    wchar_t name[16] = {};
    GetClassNameW(focus, name, 16);
    return lstrcmpiW(name, L"Edit") == 0 ? GetParent(focus) : focus;
  };
  const auto press = [&](bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG message{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(form_->HandleTabKey(message));
  };
  for (std::size_t i = 1; i <= sequence.size(); ++i) {
    press(false);
    EXPECT_EQ(focused(), form_->Control(sequence[i % sequence.size()])) << i;
  }
  for (std::size_t i = sequence.size(); i-- > 0;) {
    press(true);
    EXPECT_EQ(focused(), form_->Control(sequence[i])) << i;
  }
  press(false);
  MSG other{GetFocus(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
  EXPECT_FALSE(form_->HandleTabKey(other));
}

TEST_F(Form1Test, NarrowingLetsPanel1CoverTheLeftHandControls) {
  SetClientSize(300, 200);
  EXPECT_EQ(RectInParent(form_->Control(u"Panel2")), (Rect{0, 0, 300, 33}));
  EXPECT_EQ(RectInParent(form_->Control(u"Panel1")), (Rect{58, 0, 242, 33}));
  EXPECT_EQ(RectInParent(form_->Control(u"Button1")), (Rect{8, 6, 97, 21}));
  EXPECT_EQ(RectInParent(form_->Control(u"cbb1")), (Rect{216, 6, 58, 21}));
  EXPECT_EQ(RectInParent(form_->Control(u"Button3")), (Rect{183, 6, 58, 21}));
  EXPECT_EQ(RectInParent(form_->Control(u"ListBox1")), (Rect{0, 33, 300, 148}));
  EXPECT_EQ(RectInParent(form_->Control(u"StatusBar1")), (Rect{0, 181, 300, 19}));
  // Panel1 lies above Button1 where the two overlap.
  HWND strip = form_->Control(u"Panel2");
  EXPECT_EQ(ChildWindowFromPointEx(strip, {80, 10}, CWP_SKIPINVISIBLE), form_->Control(u"Panel1"));
  EXPECT_EQ(ChildWindowFromPointEx(strip, {20, 10}, CWP_SKIPINVISIBLE), form_->Control(u"Button1"));

  SetClientSize(513, 299);
  for (const form::ControlSpec& row : form::kControls) {
    if (row.kind == form::ControlKind::OpenDialog) continue;
    EXPECT_EQ(RectInParent(form_->Control(row.name)), TableRect(row)) << Utf8(row.name);
  }
}

TEST_F(Form1Test, Button3ReportsAMissingFolderAndAFailedScriptInMessageBoxes) {
  TempFolder out(L"button3");
  WriteBytes(out / L"p.jpeg", "P");
  {
    DialogAnswerer answerer(PressOk);
    Click(u"Button3");
    form_->SetOutputDirectory(u"Z:\\sys");
    Click(u"Button3");
    form_->SetOutputDirectory(Utf16(out.Path()));
    Click(u"Button3");
    const std::vector<SeenDialog> seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, L"Vellumor");
    EXPECT_EQ(seen[0].text, L"路径不存在！");
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_EQ(seen[0].owner, form_->Window());

    EXPECT_EQ(seen[1].caption, L"Vellumor");
    EXPECT_TRUE(seen[1].text.starts_with(L"无法创建文件“Z:\\sys\\rename.bat”："))
        << Utf8(Utf16(seen[1].text));
    EXPECT_EQ(Utf16(seen[1].text), ErrorReportText(Utf16(seen[1].text)));
    EXPECT_TRUE(seen[1].hasIcon);
    EXPECT_EQ(seen[1].owner, form_->Window());
  }
  EXPECT_EQ(FileNames(out.Path()), std::vector<std::wstring>{L"p.jpg"});
}

}  // namespace
