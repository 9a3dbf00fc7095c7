#include "tests/win32/dialog_answerer.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kFileNameField = 0x47c;  // cmb13 of the explorer-style open-file dialog

// The window's text as the window itself gives it, whichever process it belongs to.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
  std::wstring text(length + 1, L'\0');
  const auto buffer = reinterpret_cast<LPARAM>(text.data());
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), buffer, SMTO_ABORTIFHUNG, 5000,
                           &length)) {
    length = 0;
  }
  text.resize(length);
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

BOOL CALLBACK FindListView(HWND child, LPARAM found) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (lstrcmpW(name, WC_LISTVIEWW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// The names in the dialog's file list; the list belongs to this process.
std::vector<std::wstring> ListViewNames(HWND dialog) {
  HWND view = nullptr;
  EnumChildWindows(dialog, FindListView, reinterpret_cast<LPARAM>(&view));
  std::vector<std::wstring> names;
  const int count = view == nullptr ? 0 : ListView_GetItemCount(view);
  for (int i = 0; i < count; ++i) {
    wchar_t name[MAX_PATH] = {};
    ListView_GetItemText(view, i, 0, name, MAX_PATH);
    names.emplace_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

DialogAnswerer::DialogAnswerer(std::function<void(HWND)> answer, DWORD process)
    : answer_(std::move(answer)), process_(process), thread_([this] { Watch(); }) {}

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
    Search search{process_, {}};
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

std::function<void(HWND)> TypeFileNames(std::wstring names) {
  return [names](HWND dialog) {
    SetDlgItemTextW(dialog, kFileNameField, names.c_str());
    PressOk(dialog);
  };
}

std::vector<std::wstring> ListedFiles(HWND dialog, std::size_t expected) {
  std::vector<std::wstring> names = ListViewNames(dialog);
  for (int wait = 0; wait < 50 && names.size() < expected; ++wait) {
    Sleep(100);
    names = ListViewNames(dialog);
  }
  return names;
}

std::function<void(HWND)> SelectFolder(std::wstring folder) {
  return [folder](HWND dialog) {
    // The message carries a pointer, which the system does not carry over to another process:
    // the path is written into the dialog's own memory.
    DWORD id = 0;
    GetWindowThreadProcessId(dialog, &id);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, id);
    if (process == nullptr) return;
    const SIZE_T size = (folder.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (remote != nullptr && WriteProcessMemory(process, remote, folder.c_str(), size, nullptr)) {
      // Wine's dialog at times fails to find the folder in its tree on the first request and
      // keeps its first item selected; the dialog's (hidden) name field tells which it holds.
      HWND shown = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
      const std::wstring name = folder.substr(folder.rfind(L'\\') + 1);
      for (int attempt = 0; attempt < 20 && TextOf(shown) != name; ++attempt) {
        if (attempt > 0) Sleep(100);
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote));
      }
      PressOk(dialog);
    }
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
  };
}
