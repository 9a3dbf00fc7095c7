#include "app/win32/form1.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "app/layout.h"
#include "app/run_click.h"
#include "app/tab_order.h"
#include "app/win32/controls.h"
#include "app/win32/error_report.h"
#include "app/win32/resource.h"
#include "app/win32/scoped.h"
#include "app/win32/wide.h"
#include "app/win32/win32_desktop.h"
#include "app/win32/window_class.h"

namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;  // the main window owns the taskbar button
constexpr int kFirstControlId = 100;

std::u16string WindowText(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return Utf16(text);
}

int ScreenDpi() { return GetDeviceCaps(scoped::ScreenDc().get(), LOGPIXELSY); }

// The control table's text for a status panel, with the tab that centres it.
std::wstring PanelText(const form::StatusPanelSpec& panel) {
  const std::wstring text = Wide(panel.text);
  return panel.align == form::PanelAlign::Center ? L"\t" + text : text;
}

}  // namespace

TForm1::~TForm1() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool TForm1::Create(HINSTANCE instance, HWND application) {
  const std::wstring className = Wide(form::kWindowClass);
  const WindowClassLook look{.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELLUMOR)),
                             .cursor = LoadCursorW(nullptr, IDC_ARROW),
                             .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
  if (!RegisterWindowClass(instance, className.c_str(), WindowProc, look)) return false;
  if (!RegisterPanelClass(instance)) return false;

  application_ = application;
  dpi_ = ScreenDpi();
  RECT frame{0, 0, ScaleToDpi(form::kClientWidth, dpi_), ScaleToDpi(form::kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return CreateWindowExW(kExStyle, className.c_str(), Wide(form::kAppTitle).c_str(), kStyle, left,
                         top, width, height, application, nullptr, instance, this) != nullptr;
}

HWND TForm1::Control(std::u16string_view name) const { return controls_[form::ControlIndex(name)]; }

int TForm1::ControlId(std::u16string_view name) {
  return kFirstControlId + static_cast<int>(form::ControlIndex(name));
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TForm1*>(reinterpret_cast<LPCREATESTRUCTW>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The window's last message: the object lets it go only now, so every message before
    // this one reached it with its window.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    HANDLE_MSG(window_, WM_CREATE, OnCreate);
    HANDLE_MSG(window_, WM_SIZE, OnSize);
    HANDLE_MSG(window_, WM_COMMAND, OnCommand);
    HANDLE_MSG(window_, WM_ACTIVATE, OnActivate);
    HANDLE_MSG(window_, WM_SETFOCUS, OnSetFocus);
    HANDLE_MSG(window_, WM_DESTROY, OnDestroy);
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

BOOL TForm1::OnCreate(HWND window, LPCREATESTRUCTW) {
  font_.reset(CreateFontW(-ScaleToDpi(form::kFontHeightPixels, dpi_), 0, 0, 0, FW_NORMAL, FALSE,
                          FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                          Wide(form::kFontFace).c_str()));
  if (font_ == nullptr || !CreateControls()) return FALSE;
  desktop_ = std::make_unique<Win32Desktop>(application_, window);
  return TRUE;
}

bool TForm1::CreateControls() {
  for (std::size_t i = 0; i < form::kControls.size(); ++i) {
    const form::ControlSpec& row = form::kControls[i];
    if (row.kind == form::ControlKind::OpenDialog) continue;
    HWND parent = row.parent == form::kWindowName ? window_ : Control(row.parent);
    controls_[i] =
        CreateControl(row, {parent, kFirstControlId + static_cast<int>(i), dpi_, font_.get()});
    if (controls_[i] == nullptr) return false;
    // Later rows lie above earlier ones, so a right-aligned panel covers the controls it
    // overlaps when the window narrows.
    SetWindowPos(controls_[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  PlaceStatusPanels();
  HWND bar = Control(u"StatusBar1");
  for (std::size_t i = 0; i < form::kStatusPanels.size(); ++i) {
    SendMessageW(bar, SB_SETTEXTW, i,
                 reinterpret_cast<LPARAM>(PanelText(form::kStatusPanels[i]).c_str()));
  }
  focus_ = Control(TabSequence().front());
  return true;
}

void TForm1::OnSize(HWND, UINT state, int width, int height) {
  if (state == SIZE_MINIMIZED) return;
  const ControlRects rects = LayOutControls(width, height, dpi_);
  HDWP positions = BeginDeferWindowPos(static_cast<int>(controls_.size()));
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    HWND control = controls_[i];
    if (control == nullptr || positions == nullptr) continue;
    const Rect& rect = rects[i];
    const int windowHeight = form::kControls[i].kind == form::ControlKind::ComboBox
                                 ? ComboWindowHeight(control, rect.height)
                                 : rect.height;
    positions = DeferWindowPos(positions, control, nullptr, rect.left, rect.top, rect.width,
                               windowHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (positions != nullptr) EndDeferWindowPos(positions);
}

void TForm1::PlaceStatusPanels() {
  // Every panel but the last keeps its width; the last has no right edge of its own and
  // reaches the bar's end, whatever the bar's width.
  const auto widths = StatusPanelWidths(0, dpi_);
  std::array<int, form::kStatusPanels.size()> rightEdges{};
  int edge = 0;
  for (std::size_t i = 0; i + 1 < rightEdges.size(); ++i) rightEdges[i] = edge += widths[i];
  rightEdges.back() = -1;
  SendMessageW(Control(u"StatusBar1"), SB_SETPARTS, rightEdges.size(),
               reinterpret_cast<LPARAM>(rightEdges.data()));
}

void TForm1::OnCommand(HWND, int id, HWND, UINT code) {
  const int index = id - kFirstControlId;
  if (code != BN_CLICKED || index < 0 || index >= static_cast<int>(form::kControls.size())) {
    return;
  }
  RunHandler(form::kControls[index].click);
}

void TForm1::RunHandler(form::Click click) {
  if (auto report = RunClick(click, *this, *desktop_)) ShowErrorReport(window_, *report);
}

void TForm1::OnActivate(HWND, UINT state, HWND, BOOL) {
  if (state != WA_INACTIVE) return;
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
}

void TForm1::OnSetFocus(HWND, HWND) {
  if (focus_ != nullptr) SetFocus(focus_);
}

void TForm1::OnDestroy(HWND) { PostQuitMessage(0); }

bool TForm1::HandleTabKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  const std::vector<std::u16string_view> sequence = TabSequence();
  // The focus may sit in a control's own child, such as the edit field of a combo box.
  auto current = sequence.end();
  for (HWND window = message.hwnd; window != nullptr && window != window_;
       window = GetParent(window)) {
    current = std::find_if(sequence.begin(), sequence.end(),
                           [&](std::u16string_view name) { return Control(name) == window; });
    if (current != sequence.end()) break;
  }
  const auto count = static_cast<std::ptrdiff_t>(sequence.size());
  const std::ptrdiff_t at = current == sequence.end() ? -1 : current - sequence.begin();
  const bool backwards = GetKeyState(VK_SHIFT) < 0;
  const std::ptrdiff_t next = backwards ? (at <= 0 ? count - 1 : at - 1) : (at + 1) % count;
  HWND target = Control(sequence[next]);
  SetFocus(target);
  if (form::Control(sequence[next]).kind == form::ControlKind::ComboBox) {
    ComboBox_SetEditSel(target, 0, -1);
  }
  return true;
}

std::vector<std::u16string> TForm1::SourceItems() const {
  HWND list = Control(u"ListBox1");
  std::vector<std::u16string> items(std::max(0, ListBox_GetCount(list)));
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::wstring text(ListBox_GetTextLen(list, i) + 1, L'\0');
    text.resize(std::max(0, ListBox_GetText(list, i, text.data())));
    items[i] = Utf16(text);
  }
  return items;
}

void TForm1::ReplaceSourceItems(const std::vector<std::u16string>& items) {
  HWND list = Control(u"ListBox1");
  SetWindowRedraw(list, FALSE);
  ListBox_ResetContent(list);
  for (const std::u16string& item : items) ListBox_AddString(list, Wide(item).c_str());
  SetWindowRedraw(list, TRUE);
  InvalidateRect(list, nullptr, TRUE);
}

std::u16string TForm1::FormatText() const { return WindowText(Control(u"cbb1")); }

std::u16string TForm1::ResolutionText() const { return WindowText(Control(u"ComboBox1")); }
