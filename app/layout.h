#pragma once

#include <array>
#include <string_view>

#include "app/form.h"

// A control's place within its parent's client area, in device pixels.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// One rectangle per control, in the order of form::kControls.
using ControlRects = std::array<Rect, form::kControls.size()>;

// Design pixels of the table scaled to a screen of `dpi`, rounded to the nearest pixel.
int ScaleToDpi(int designPixels, int dpi);

// Where every control stands when the main window's client area is `clientWidth` ×
// `clientHeight` device pixels at `dpi`. Aligned controls follow their parent: within each
// parent the top ones are stacked from the top edge, then the bottom ones from the bottom edge,
// then the right ones from the right edge, and a client-aligned one takes what is left (never
// less than nothing). Unaligned controls keep their table position, so a right-aligned
// sibling may cover them when the window narrows.
ControlRects LayOutControls(int clientWidth, int clientHeight, int dpi = form::kDesignDpi);

// The rectangle of the control named `name`.
const Rect& RectOf(const ControlRects& rects, std::u16string_view name);

// The width of each status bar panel for a bar `barWidth` device pixels wide: every panel
// but the last keeps its table width, the last takes the rest up to the bar's right end.
std::array<int, form::kStatusPanels.size()> StatusPanelWidths(int barWidth,
                                                              int dpi = form::kDesignDpi);
