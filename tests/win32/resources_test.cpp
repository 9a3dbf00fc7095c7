#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win32/temp_folder.h"

namespace {

std::wstring VersionString(const std::wstring& path, const std::wstring& name) {
  DWORD ignored = 0;
  std::string block(GetFileVersionInfoSizeW(path.c_str(), &ignored), '\0');
  if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, block.size(), block.data())) return {};
  void* value = nullptr;
  UINT length = 0;
  const std::wstring key = L"\\StringFileInfo\\080404b0\\" + name;
  if (!VerQueryValueW(block.data(), key.c_str(), &value, &length)) return {};
  return static_cast<const wchar_t*>(value);
}

TEST(VellumorExe, CarriesItsIconVersionAndManifest) {
  const std::wstring path = OwnFolder() + L"\\Vellumor.exe";
  HMODULE tool = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(tool, nullptr);
  EXPECT_NE(FindResourceW(tool, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);

  HRSRC found = FindResourceW(tool, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(tool, found)));
  const std::string manifest(bytes, SizeofResource(tool, found));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
  // The program's own identity names the processor it is built for.
#ifdef _WIN64
  const char* architecture =
      "name=\"Quorvel.Vellumor\" version=\"1.0.0.0\" processorArchitecture=\"amd64\"";
#else
  const char* architecture =
      "name=\"Quorvel.Vellumor\" version=\"1.0.0.0\" processorArchitecture=\"x86\"";
#endif
  EXPECT_NE(manifest.find(architecture), std::string::npos) << manifest;
  FreeLibrary(tool);

  EXPECT_EQ(VersionString(path, L"ProductName"), L"Vellumor");
  EXPECT_EQ(VersionString(path, L"OriginalFilename"), L"Vellumor.exe");
  EXPECT_FALSE(VersionString(path, L"ProductVersion").empty());
}

}  // namespace
