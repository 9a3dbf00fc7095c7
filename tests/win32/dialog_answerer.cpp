#include "tests/win32/dialog_answerer.h"

#include <algorithm>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring TextOf(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(child, name, 16);
  const auto style = GetWindowLongW(child, GWL_STYLE);
  const bool shown = (style & WS_VISIBLE) && SendMessageW(child, STM_GETICON, 0, 0) != 0;
  if (lstrcmpiW(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && shown) {
    *reinterpret_cast<bool*>(found) = true;
  }
  return TRUE;
}

struct Search {
  DWORD process;
  std::vector<HWND> dialogs;
};

BOOL CALLBACK FindDialogs(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (process == search->process && IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0) {
    search->dialogs.push_back(window);
  }
  return TRUE;
}

}  // namespace

DialogAnswerer::DialogAnswerer(std::function<void(HWND)> answer)
    : answer_(std::move(answer)), thread_([this] { Watch(); }) {}

DialogAnswerer::~DialogAnswerer() {
  stop_ = true;
  thread_.join();
}

std::vector<SeenDialog> DialogAnswerer::Seen() {
  std::lock_guard lock(mutex_);
  return seen_;
}

void DialogAnswerer::Watch() {
  std::vector<HWND> answered;
  while (!stop_) {
    Search search{GetCurrentProcessId(), {}};
    EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&search));
    for (HWND dialog : search.dialogs) {
      if (std::find(answered.begin(), answered.end(), dialog) != answered.end()) continue;
      // Let the dialog finish opening (and place itself) before it is read and answered.
      Sleep(300);
      SeenDialog seen;
      seen.caption = TextOf(dialog);
      if (HWND text = GetDlgItem(dialog, kMessageBoxTextId)) seen.text = TextOf(text);
      EnumChildWindows(dialog, FindIcon, reinterpret_cast<LPARAM>(&seen.hasIcon));
      seen.owner = GetWindow(dialog, GW_OWNER);
      GetWindowRect(dialog, &seen.rect);
      {
        std::lock_guard lock(mutex_);
        seen_.push_back(seen);
      }
      answer_(dialog);
      answered.push_back(dialog);
    }
    Sleep(50);
  }
}

void PressOk(HWND dialog) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }
