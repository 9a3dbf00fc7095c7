#include "tests/win32/temp_folder.h"

#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

#include "base/utf16_win32.h"

TempFolder::TempFolder(const std::wstring& name) {
  std::wstring base(MAX_PATH + 1, L'\0');
  base.resize(GetTempPathW(static_cast<DWORD>(base.size()), base.data()));
  // Wine reuses process ids, and a test that crashed leaves its folder behind: count on.
  const std::wstring stem = base + L"vellumor-" + std::to_wstring(GetCurrentProcessId()) + L"-";
  for (int attempt = 1;; ++attempt) {
    path_ = stem + std::to_wstring(attempt) + L"-" + name;
    if (CreateDirectoryW(path_.c_str(), nullptr)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt == 1000) {
      throw std::runtime_error("no temp folder");
    }
  }
}

TempFolder::~TempFolder() {
  // A double NUL ends the list of paths the shell operation takes.
  std::wstring from = path_ + L'\0';
  SHFILEOPSTRUCTW remove{};
  remove.wFunc = FO_DELETE;
  remove.pFrom = from.c_str();
  remove.fFlags = FOF_NO_UI;
  // A console a script ran in may hold the folder as its working directory a moment longer.
  for (int attempt = 0; attempt < 30 && SHFileOperationW(&remove) != 0; ++attempt) Sleep(100);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write a test file");
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  const bool ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  bytes.resize(read);
  return bytes;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> FileNames(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring OwnFolder() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.rfind(L'\\'));
}

std::string Utf8(std::u16string_view text) {
  return Utf8FromWide({reinterpret_cast<const wchar_t*>(text.data()), text.size()});
}

std::wstring WinePath(std::string_view path) {
  std::wstring wide = WideFromUtf8(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return L"Z:" + wide;
}
