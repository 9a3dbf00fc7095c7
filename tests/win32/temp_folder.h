#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A fresh folder under the system's temporary folder, removed with all it holds at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& name);
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes; nothing when it cannot be read.
std::optional<std::string> ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// The names of the files in `folder` that match `pattern`, sorted.
std::vector<std::wstring> FileNames(const std::wstring& folder, const std::wstring& pattern = L"*");
// The folder of the running test program, where the build puts Vellumor.exe too.
std::wstring OwnFolder();
// Text as UTF-8, for comparing with what a program wrote.
std::string Utf8(std::u16string_view text);
// A UTF-8 path of the build machine as Wine's programs see it, on its drive Z: for the root.
std::wstring WinePath(std::string_view path);
