#include "app/win32/win32_desktop.h"

#include <commdlg.h>
#include <shlobj.h>

#include "app/dialog_filter.h"
#include "app/win32/wide.h"

namespace {

// Room for about a thousand names of a usual length; a larger selection makes it grow.
constexpr std::size_t kFirstFileBufferChars = 32768;

// "description\0pattern\0...\0\0", as the open-file dialog takes its filter.
std::wstring NativeFilter(std::u16string_view filter) {
  std::wstring native;
  for (const FilterRow& row : ParseDialogFilter(filter)) {
    native += Wide(row.description) + L'\0' + Wide(row.pattern) + L'\0';
  }
  return native + L'\0';
}

// The dialog's answer: one full path, or a folder followed by names, each ended by a NUL,
// the list ended by a second NUL.
FileSelection ReadSelection(const std::wstring& buffer) {
  std::vector<std::u16string> strings;
  for (std::size_t start = 0; start < buffer.size() && buffer[start] != L'\0';) {
    const std::size_t end = std::min(buffer.find(L'\0', start), buffer.size());
    strings.push_back(Utf16(std::wstring_view(buffer).substr(start, end - start)));
    start = end + 1;
  }
  if (strings.size() <= 1) return {u"", strings};
  return {strings.front(), {strings.begin() + 1, strings.end()}};
}

// Centres the folder dialog on the monitor of the window passed as `data` once it opens.
int CALLBACK CentreOnMainMonitor(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(reinterpret_cast<HWND>(data), MONITOR_DEFAULTTONEAREST),
                  &monitor);
  RECT box{};
  GetWindowRect(dialog, &box);
  const RECT& area = monitor.rcWork;
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

}  // namespace

std::optional<FileSelection> Win32Desktop::ChooseFiles(std::u16string_view filter) {
  const std::wstring nativeFilter = NativeFilter(filter);
  std::wstring buffer(kFirstFileBufferChars, L'\0');
  while (true) {
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = main_;
    dialog.lpstrFilter = nativeFilter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (GetOpenFileNameW(&dialog)) return ReadSelection(buffer);
    if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL) return std::nullopt;
    // The first two bytes hold the size the selection needs; it may not fit in them, so at
    // least double. The dialog then opens again for the user to confirm the choice.
    const DWORD needed = *reinterpret_cast<const WORD*>(buffer.data());
    buffer.assign(std::max<std::size_t>(needed + 1, buffer.size() * 2), L'\0');
  }
}

std::optional<std::u16string> Win32Desktop::ChooseFolder(std::u16string_view title) {
  const std::wstring text = Wide(title);
  BROWSEINFOW browse{};
  browse.hwndOwner = application_;
  browse.lpszTitle = text.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  browse.lpfn = CentreOnMainMonitor;
  browse.lParam = reinterpret_cast<LPARAM>(main_);

  // The dialog disables its owner, the hidden window; the main window is disabled here, so
  // that no window of the program takes input while the dialog is open.
  EnableWindow(main_, FALSE);
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  PIDLIST_ABSOLUTE folder = SHBrowseForFolderW(&browse);
  SetErrorMode(previousMode);
  EnableWindow(main_, TRUE);
  SetActiveWindow(main_);
  if (folder == nullptr) return std::nullopt;

  std::wstring path(MAX_PATH, L'\0');
  const bool found = SHGetPathFromIDListW(folder, path.data());
  CoTaskMemFree(folder);
  if (!found) return std::nullopt;
  path.resize(path.find(L'\0'));
  return Utf16(path);
}
