#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "base/utf16_win32.h"
#include "xps2img/platform/platform.h"

namespace {

using namespace std::chrono_literals;

std::wstring Beside(const std::wstring& name) {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

void Write(const std::string& path, const std::string& bytes) {
  FILE* f = _wfopen(WideFromUtf8(path).c_str(), L"wb");
  ASSERT_NE(f, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string Read(const std::string& path) {
  FILE* f = _wfopen(WideFromUtf8(path).c_str(), L"rb");
  if (!f) return "<missing>";
  std::string bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

// A fresh folder with a Chinese name and a space, removed with its files afterwards.
class ConverterFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring name =
        std::wstring(temp) + L"xps2img 测试 " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(name.c_str(), nullptr));
    folder_ = Utf8FromWide(name);
  }
  void TearDown() override {
    WIN32_FIND_DATAW data;
    std::wstring folder = WideFromUtf8(folder_);
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileW((folder + L"\\" + data.cFileName).c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::string In(const std::string& name) { return platform::JoinPath(folder_, name); }

  std::string folder_;  // UTF-8
};

// The reason a platform service failed with, or "" when it did its work.
template <class Call>
std::string ReasonOf(Call call) {
  try {
    call();
    return "";
  } catch (const Failure& failure) {
    return failure.what();
  }
}

TEST(ConverterJoinPathTest, UsesBackslashesAndKeepsAnExistingSeparator) {
  EXPECT_EQ(platform::JoinPath("C:\\out", "图1.png"), "C:\\out\\图1.png");
  EXPECT_EQ(platform::JoinPath("C:\\out\\", "a.png"), "C:\\out\\a.png");
  EXPECT_EQ(platform::JoinPath("C:/out/", "a.png"), "C:/out/a.png");
  EXPECT_EQ(platform::JoinPath("C:", "a.png"), "C:a.png");
}

TEST_F(ConverterFilesTest, ChineseNamesReachTheFileSystemAsUtf16) {
  std::FILE* file = platform::CreateForWriting(In("图1.png"));
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((WideFromUtf8(folder_) + L"\\*.png").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::wstring(data.cFileName), L"图1.png");
  FindClose(find);

  EXPECT_TRUE(platform::Exists(In("图1.png")));
  EXPECT_FALSE(platform::Exists(In("图2.png")));
  EXPECT_EQ(ReasonOf([&] { platform::CheckReadableFile(In("图1.png")); }), "");
  EXPECT_EQ(ReasonOf([&] { platform::CheckFolder(folder_); }), "");
}

TEST_F(ConverterFilesTest, ChecksSayWhatIsWrong) {
  Write(In("a.xps"), "x");
  EXPECT_EQ(ReasonOf([&] { platform::CheckReadableFile(In("missing.xps")); }), "不存在");
  EXPECT_EQ(ReasonOf([&] { platform::CheckReadableFile(folder_); }), "是一个文件夹，不是文件");
  EXPECT_EQ(ReasonOf([&] { platform::CheckFolder(In("a.xps")); }), "不是文件夹");
  EXPECT_EQ(ReasonOf([&] { platform::CheckFolder(In("missing")); }), "不存在");
}

TEST_F(ConverterFilesTest, CreateForWritingNeverTouchesAnExistingFile) {
  Write(In("图1.png"), "old");
  EXPECT_EQ(platform::CreateForWriting(In("图1.png")), nullptr);
  EXPECT_EQ(Read(In("图1.png")), "old");
}

// A temporary file is hidden while it exists and cannot be taken for abandoned while it is
// written; its image is visible once moved into place.
TEST_F(ConverterFilesTest, TemporaryFilesAreHiddenAndHeldWhileWritten) {
  std::FILE* file = platform::CreateForWriting(In(".图1.png.part"));
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(GetFileAttributesW(WideFromUtf8(In(".图1.png.part")).c_str()) &
              FILE_ATTRIBUTE_HIDDEN);
  std::fputs("new", file);
  // Positions past 4 GiB, for large uncompressed images.
  ASSERT_TRUE(platform::Seek(file, 5'000'000'000LL, SEEK_SET));
  EXPECT_EQ(platform::Tell(file), 5'000'000'000LL);
  ASSERT_TRUE(platform::Seek(file, 0, SEEK_END));
  EXPECT_EQ(platform::Tell(file), 3);
  EXPECT_FALSE(platform::RemoveIfAbandoned(In(".图1.png.part")));
  std::fclose(file);
  EXPECT_EQ(ReasonOf([&] { platform::MoveWithoutReplacing(In(".图1.png.part"), In("图1.png")); }),
            "");
  EXPECT_EQ(Read(In("图1.png")), "new");
  EXPECT_FALSE(GetFileAttributesW(WideFromUtf8(In("图1.png")).c_str()) & FILE_ATTRIBUTE_HIDDEN);

  Write(In(".图2.png.part"), "left by a converter that died");
  EXPECT_TRUE(platform::RemoveIfAbandoned(In(".图2.png.part")));
  EXPECT_FALSE(platform::Exists(In(".图2.png.part")));
  EXPECT_TRUE(platform::RemoveIfAbandoned(In(".图3.png.part")));  // nothing there

  // A page given up on is removed while its stuck writer still has it open, and is gone once
  // that writer lets go.
  file = platform::CreateForWriting(In(".图4.png.part"));
  ASSERT_NE(file, nullptr);
  platform::RemoveFile(In(".图4.png.part"));
  std::fputs("late", file);
  std::fclose(file);
  EXPECT_FALSE(platform::Exists(In(".图4.png.part")));
}

// A document's reservation: hidden, held by one holder at a time, gone with its holder.
TEST_F(ConverterFilesTest, HeldFilesHaveOneHolderAndGoWithIt) {
  auto held = platform::HoldFile(In(".图.png.lock"));
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(GetFileAttributesW(WideFromUtf8(In(".图.png.lock")).c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(platform::HoldFile(In(".图.png.lock")), nullptr);  // held, not failed
  EXPECT_FALSE(platform::RemoveIfAbandoned(In(".图.png.lock")));
  held.reset();
  EXPECT_FALSE(platform::Exists(In(".图.png.lock")));
}

TEST_F(ConverterFilesTest, MoveNeverReplacesAndLeavesBothFilesAsTheyWere) {
  Write(In("图1.tmp"), "new");
  Write(In("图1.png"), "old");
  EXPECT_EQ(ReasonOf([&] { platform::MoveWithoutReplacing(In("图1.tmp"), In("图1.png")); }),
            "目标文件已存在");
  EXPECT_EQ(Read(In("图1.png")), "old");
  EXPECT_EQ(Read(In("图1.tmp")), "new");

  EXPECT_EQ(ReasonOf([&] { platform::MoveWithoutReplacing(In("图1.tmp"), In("图2.png")); }), "");
  EXPECT_EQ(Read(In("图2.png")), "new");
  EXPECT_FALSE(platform::Exists(In("图1.tmp")));

  platform::RemoveFile(In("图2.png"));
  EXPECT_FALSE(platform::Exists(In("图2.png")));
}

// Starts the helper with `arguments` and standard output into a pipe.
struct Helper {
  explicit Helper(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) return;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    std::wstring path = Beside(PLATFORM_HELPER);
    std::wstring command = L"\"" + path + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &info)) {
      process = info.hProcess;
      CloseHandle(info.hThread);
    }
    CloseHandle(write);
  }
  ~Helper() {
    if (process) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 10000);
      CloseHandle(process);
    }
    if (read) CloseHandle(read);
  }
  // Output up to and including `count` bytes, or all of it when the helper ends first.
  std::string ReadOutput(size_t count = SIZE_MAX) {
    std::string out;
    char buffer[256];
    DWORD n = 0;
    while (out.size() < count && ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0) {
      out.append(buffer, n);
    }
    return out;
  }

  HANDLE process = nullptr;
  HANDLE read = nullptr;
};

// A converter that is ended (its console closed) leaves no reservation behind: the system
// deletes the file with the process's last handle, and the names are free for the next one.
TEST_F(ConverterFilesTest, AReservationGoesWithAProcessThatIsEnded) {
  std::string lock = In(".图.png.lock");
  {
    Helper helper(L"hold-file \"" + WideFromUtf8(lock) + L"\"");
    ASSERT_NE(helper.process, nullptr);
    ASSERT_EQ(helper.ReadOutput(5), "held\n");
    EXPECT_EQ(platform::HoldFile(lock), nullptr);  // held, not failed
  }                                                // terminated
  EXPECT_FALSE(platform::Exists(lock));
  EXPECT_NE(platform::HoldFile(lock), nullptr);
}

TEST(ConverterEntryPointTest, ArgumentsArriveAsUtf8AndRedirectedOutputIsUtf8) {
  Helper helper(L"echo \"输出 文件夹\" 图 \"第 1/2 页 → 图1.png\"");
  ASSERT_NE(helper.process, nullptr);
  EXPECT_EQ(helper.ReadOutput(), "输出 文件夹\n图\n第 1/2 页 → 图1.png\n");
}

// In a console, the text goes in as UTF-16 and shows as written, whatever the code page.
TEST_F(ConverterFilesTest, ChineseTextShowsInAConsole) {
  std::string row = In("row.txt");
  const std::string text = "第 1/2 页 → 图1.png";
  Helper helper(L"console \"" + WideFromUtf8(row) + L"\" \"" + WideFromUtf8(text) + L"\"");
  ASSERT_NE(helper.process, nullptr);
  ASSERT_EQ(WaitForSingleObject(helper.process, 30000), WAIT_OBJECT_0);
  DWORD status = 99;
  GetExitCodeProcess(helper.process, &status);
  ASSERT_EQ(status, 0u);
  EXPECT_EQ(Read(row), text);
}

TEST(ConverterRenderSlotTest, AllSlotsBusyWaitsAndADyingHolderFreesItsSlots) {
  Helper holder(L"hold-slots");
  ASSERT_NE(holder.process, nullptr);
  ASSERT_EQ(holder.ReadOutput(5), "held\n");

  // A slot is released by the thread that took it.
  auto taken =
      std::async(std::launch::async, [] { return platform::AcquireRenderSlot() != nullptr; });
  EXPECT_EQ(taken.wait_for(500ms), std::future_status::timeout) << "a slot while all are held";

  // The holder dies without releasing anything: its slots come free.
  TerminateProcess(holder.process, 1);
  ASSERT_EQ(taken.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(taken.get());
}

}  // namespace
