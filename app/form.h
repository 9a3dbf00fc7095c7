#pragma once

#include <array>
#include <span>
#include <stdexcept>
#include <string_view>

#include "base/texts.h"

// The main window's facts as data. Both front ends build their window from these tables;
// no other file spells a caption, a text or a position of the window, but for the texts the
// operations show, which base/texts.h holds.
namespace form {

inline constexpr std::u16string_view kAppTitle = u"Vellumor";
inline constexpr std::u16string_view kWindowName = u"Form1";
inline constexpr std::u16string_view kWindowClass = u"TForm1";

// Main window properties. Sizes are pixels at the design resolution.
inline constexpr int kDesignDpi = 96;
inline constexpr int kClientWidth = 513;
inline constexpr int kClientHeight = 299;
inline constexpr bool kSizeable = true;
inline constexpr std::u16string_view kFontFace = u"Tahoma";
inline constexpr int kFontHeightPixels = 11;
inline constexpr int kFontPoints = 8;
inline constexpr int kListItemHeight = 13;  // ListBox1, fixed for every item

enum class ControlKind { ListBox, Panel, Button, Label, ComboBox, StatusBar, OpenDialog };
enum class Align { None, Top, Right, Bottom, Client };
enum class Click { None, Button1Click, Button2Click, Button3Click };
inline constexpr int kNoTabStop = -1;

struct ControlSpec {
  std::u16string_view name;
  ControlKind kind;
  std::u16string_view parent;
  int left, top, width, height;
  Align align;
  std::u16string_view text;
  std::span<const std::u16string_view> items;
  int tabOrder;  // within the parent; kNoTabStop for controls that take no focus
  Click click;
};

inline constexpr std::array<std::u16string_view, 5> kFormatItems = {u"jpeg", u"png", u"tiff",
                                                                    u"bmp", u"gif"};
inline constexpr std::array<std::u16string_view, 3> kResolutionItems = {u"150", u"300", u"600"};

// In creation order: every parent comes before its children.
// clang-format off
inline constexpr std::array<ControlSpec, 12> kControls = {{
  // name         kind                     parent     left top  w    h    align          text            items             tab         click
  {u"ListBox1",    ControlKind::ListBox,    u"Form1",  0,   33,  513, 247, Align::Client, u"",            {},               0,          Click::None},
  {u"Panel2",      ControlKind::Panel,      u"Form1",  0,   0,   513, 33,  Align::Top,    u"",            {},               1,          Click::None},
  {u"Button1",     ControlKind::Button,     u"Panel2", 8,   6,   97,  21,  Align::None,   u"选择XPS文件", {},               0,          Click::Button1Click},
  {u"lbl1",        ControlKind::Label,      u"Panel2", 186, 14,  24,  13,  Align::None,   u"格式",        {},               kNoTabStop, Click::None},
  {u"cbb1",        ControlKind::ComboBox,   u"Panel2", 216, 6,   58,  21,  Align::None,   u"jpeg",        kFormatItems,     2,          Click::None},
  {u"Panel1",      ControlKind::Panel,      u"Panel2", 271, 0,   242, 33,  Align::Right,  u"",            {},               1,          Click::None},
  {u"分辨率",      ControlKind::Label,      u"Panel1", 13,  14,  36,  13,  Align::None,   u"分辨率",      {},               kNoTabStop, Click::None},
  {u"ComboBox1",   ControlKind::ComboBox,   u"Panel1", 55,  6,   58,  21,  Align::None,   u"300",         kResolutionItems, 1,          Click::None},
  {u"Button2",     ControlKind::Button,     u"Panel1", 119, 6,   58,  21,  Align::None,   u"转换",        {},               0,          Click::Button2Click},
  {u"Button3",     ControlKind::Button,     u"Panel1", 183, 6,   58,  21,  Align::None,   u"JPEG修正",    {},               2,          Click::Button3Click},
  {u"StatusBar1",  ControlKind::StatusBar,  u"Form1",  0,   280, 513, 19,  Align::Bottom, u"",            {},               kNoTabStop, Click::None},
  {u"OpenDialog1", ControlKind::OpenDialog, u"Form1",  0,   0,   0,   0,   Align::None,   texts::kOpenDialogFilter, {},     kNoTabStop, Click::None},
}};
// clang-format on

enum class PanelAlign { Left, Center };
struct StatusPanelSpec {
  int width;  // the last panel reaches the bar's right end whatever its width
  std::u16string_view text;
  PanelAlign align;
};
inline constexpr std::array<StatusPanelSpec, 2> kStatusPanels = {{
    {400, u"", PanelAlign::Left},
    {50, u"Quorvel出品", PanelAlign::Center},
}};

// The control named `name`; the table holds every name the front ends ask for.
constexpr const ControlSpec& Control(std::u16string_view name) {
  for (const ControlSpec& control : kControls) {
    if (control.name == name) return control;
  }
  throw std::invalid_argument("no such control");
}

// The position of the control named `name` in kControls.
constexpr std::size_t ControlIndex(std::u16string_view name) {
  return static_cast<std::size_t>(&Control(name) - kControls.data());
}

}  // namespace form
