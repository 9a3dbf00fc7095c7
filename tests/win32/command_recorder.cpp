// Stands in for the converter: writes the command line it was given, as the system holds it
// in UTF-16 and in the ANSI code page, and its arguments as CommandLineToArgvW splits it, to
// record-<process id>-<n>.txt beside itself. The file appears under its name only when complete.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "base/utf16_win32.h"

namespace {

std::string Hex(const char* bytes) {
  std::string hex;
  for (; *bytes != '\0'; ++bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(*bytes);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

}  // namespace

int main() {
  std::string record =
      "W " + Utf8FromWide(GetCommandLineW()) + "\nA " + Hex(GetCommandLineA()) + "\n";
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; i < count; ++i) record += "ARG " + Utf8FromWide(arguments[i]) + "\n";
  LocalFree(arguments);

  std::wstring folder(MAX_PATH * 4, L'\0');
  folder.resize(GetModuleFileNameW(nullptr, folder.data(), static_cast<DWORD>(folder.size())));
  folder.resize(folder.rfind(L'\\') + 1);
  // Wine reuses process ids at once, so a number follows that makes the name a new one.
  const std::wstring stem = folder + L"record-" + std::to_wstring(GetCurrentProcessId()) + L"-";
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::wstring name = stem + std::to_wstring(attempt);
    HANDLE file = CreateFileW((name + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    DWORD written = 0;
    const bool wrote =
        WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
        written == record.size();
    CloseHandle(file);
    if (wrote && MoveFileW((name + L".tmp").c_str(), (name + L".txt").c_str())) return 0;
    DeleteFileW((name + L".tmp").c_str());
  }
  return 1;
}
