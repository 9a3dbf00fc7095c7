#include "app/layout.h"

#include <algorithm>

namespace {

Rect TableRect(const form::ControlSpec& control, int dpi) {
  return {ScaleToDpi(control.left, dpi), ScaleToDpi(control.top, dpi),
          ScaleToDpi(control.width, dpi), ScaleToDpi(control.height, dpi)};
}

// The edges of a parent's client area not yet taken by aligned children.
struct FreeArea {
  int left, top, right, bottom;
};

// Places the children of `parent` (whose client area is `width` × `height`) in `rects`,
// aligning in the order top, bottom, right, client and each group in table order.
void LayOutChildren(std::u16string_view parent, int width, int height, int dpi,
                    ControlRects& rects) {
  FreeArea free{0, 0, width, height};
  for (form::Align pass : {form::Align::None, form::Align::Top, form::Align::Bottom,
                           form::Align::Right, form::Align::Client}) {
    for (std::size_t i = 0; i < form::kControls.size(); ++i) {
      const form::ControlSpec& control = form::kControls[i];
      if (control.parent != parent || control.align != pass) continue;
      Rect rect = TableRect(control, dpi);
      const int freeWidth = std::max(0, free.right - free.left);
      const int freeHeight = std::max(0, free.bottom - free.top);
      switch (pass) {
        case form::Align::None:
          break;
        case form::Align::Top:
          rect = {free.left, free.top, freeWidth, rect.height};
          free.top += rect.height;
          break;
        case form::Align::Bottom:
          free.bottom -= rect.height;
          rect = {free.left, free.bottom, freeWidth, rect.height};
          break;
        case form::Align::Right:
          free.right -= rect.width;
          rect = {free.right, free.top, rect.width, freeHeight};
          break;
        case form::Align::Client:
          rect = {free.left, free.top, freeWidth, freeHeight};
          break;
      }
      rects[i] = rect;
    }
  }
}

}  // namespace

int ScaleToDpi(int designPixels, int dpi) {
  const long long scaled = static_cast<long long>(designPixels) * dpi;
  const long long half = form::kDesignDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / form::kDesignDpi
                                      : (scaled - half) / form::kDesignDpi);
}

ControlRects LayOutControls(int clientWidth, int clientHeight, int dpi) {
  ControlRects rects{};
  LayOutChildren(form::kWindowName, std::max(0, clientWidth), std::max(0, clientHeight), dpi,
                 rects);
  // Parents come before their children in the table, so each parent is placed before its
  // own children are laid out inside it.
  for (std::size_t i = 0; i < form::kControls.size(); ++i) {
    if (form::kControls[i].kind == form::ControlKind::Panel) {
      LayOutChildren(form::kControls[i].name, rects[i].width, rects[i].height, dpi, rects);
    }
  }
  return rects;
}

const Rect& RectOf(const ControlRects& rects, std::u16string_view name) {
  return rects[form::ControlIndex(name)];
}

std::array<int, form::kStatusPanels.size()> StatusPanelWidths(int barWidth, int dpi) {
  std::array<int, form::kStatusPanels.size()> widths{};
  int used = 0;
  for (std::size_t i = 0; i + 1 < widths.size(); ++i) {
    widths[i] = ScaleToDpi(form::kStatusPanels[i].width, dpi);
    used += widths[i];
  }
  widths.back() = std::max(0, barWidth - used);
  return widths;
}
