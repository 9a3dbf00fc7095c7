#include "app/win32/controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/layout.h"
#include "app/win32/wide.h"
#include "app/win32/window_class.h"

namespace {

void Panel_OnCommand(HWND panel, int id, HWND control, UINT code) {
  FORWARD_WM_COMMAND(GetParent(panel), id, control, code, SendMessageW);
}

// A panel keeps its font, as every control of the window has one.
void Panel_OnSetFont(HWND panel, HFONT font, BOOL) {
  SetWindowLongPtrW(panel, 0, reinterpret_cast<LONG_PTR>(font));
}

HFONT Panel_OnGetFont(HWND panel) { return reinterpret_cast<HFONT>(GetWindowLongPtrW(panel, 0)); }

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    HANDLE_MSG(panel, WM_COMMAND, Panel_OnCommand);
    HANDLE_MSG(panel, WM_SETFONT, Panel_OnSetFont);
    HANDLE_MSG(panel, WM_GETFONT, Panel_OnGetFont);
  }
  return DefWindowProcW(panel, message, wParam, lParam);
}

struct NativeKind {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

NativeKind NativeKindOf(form::ControlKind kind) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  switch (kind) {
    case form::ControlKind::ListBox:
      return {L"ListBox", kChild | WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
              WS_EX_CLIENTEDGE};
    case form::ControlKind::Panel:
      return {kPanelClass, kChild | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case form::ControlKind::Button:
      return {L"Button", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case form::ControlKind::Label:
      return {L"Static", kChild | SS_LEFT | SS_NOPREFIX, 0};
    case form::ControlKind::ComboBox:
      return {L"ComboBox", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case form::ControlKind::StatusBar:
      // Placed by the window's layout like every other control, not by the bar itself.
      return {STATUSCLASSNAMEW, kChild | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN, 0};
    case form::ControlKind::OpenDialog:
      break;
  }
  return {nullptr, 0, 0};
}

}  // namespace

bool RegisterPanelClass(HINSTANCE instance) {
  return RegisterWindowClass(instance, kPanelClass, PanelProc,
                             {.cursor = LoadCursorW(nullptr, IDC_ARROW),
                              .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                              .extraBytes = sizeof(HFONT)});
}

HWND CreateControl(const form::ControlSpec& row, const ControlPlacement& placement) {
  const NativeKind kind = NativeKindOf(row.kind);
  if (kind.className == nullptr) return nullptr;
  const auto scale = [&](int pixels) { return ScaleToDpi(pixels, placement.dpi); };
  HWND control = CreateWindowExW(
      kind.exStyle, kind.className, Wide(row.text).c_str(), kind.style, scale(row.left),
      scale(row.top), scale(row.width), scale(row.height), placement.parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(placement.parent, GWLP_HINSTANCE)), nullptr);
  if (control == nullptr) return nullptr;
  SetWindowFont(control, placement.font, FALSE);
  for (std::u16string_view item : row.items) {
    ComboBox_AddString(control, Wide(item).c_str());
  }
  // A combo box takes no text from its creation: its edit field is set once it exists.
  if (row.kind == form::ControlKind::ComboBox) SetWindowTextW(control, Wide(row.text).c_str());
  if (row.kind == form::ControlKind::ListBox) {
    ListBox_SetItemHeight(control, 0, scale(form::kListItemHeight));
  }
  if (row.kind == form::ControlKind::ComboBox) {
    SetWindowPos(control, nullptr, 0, 0, scale(row.width),
                 ComboWindowHeight(control, scale(row.height)), SWP_NOMOVE | SWP_NOZORDER);
  }
  return control;
}

int ComboWindowHeight(HWND combo, int fieldHeight) {
  const int items = ComboBox_GetCount(combo);
  return fieldHeight + items * static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0)) + 2;
}
