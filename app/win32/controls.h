#pragma once

#include <windows.h>

#include "app/form.h"

// The window class of the tool strip panels: plain button-face areas without a bevel that
// pass their children's notifications on to their own parent.
inline constexpr wchar_t kPanelClass[] = L"TPanel";
bool RegisterPanelClass(HINSTANCE instance);

// What CreateControl needs besides the table row.
struct ControlPlacement {
  HWND parent = nullptr;
  int id = 0;
  int dpi = form::kDesignDpi;
  HFONT font = nullptr;
};

// Creates the child window for one row of the control table, with its styles, font, text
// and items; nullptr when the system refuses.
HWND CreateControl(const form::ControlSpec& row, const ControlPlacement& placement);

// The height to give a combo box window so that its closed field is `fieldHeight` high and
// its list shows every item.
int ComboWindowHeight(HWND combo, int fieldHeight);
