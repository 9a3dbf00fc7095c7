#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/system_error_text_win32.h"
#include "base/utf16_win32.h"
#include "xps2img/platform/console_win32.h"
#include "xps2img/platform/platform.h"

namespace platform {

namespace {

std::string Reason(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return "不存在";
    case ERROR_ACCESS_DENIED:
      return "没有访问权限";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "正被其他程序使用";
    case ERROR_WRITE_PROTECT:
      return "位于只读文件系统上";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "磁盘空间不足";
    case ERROR_FILENAME_EXCED_RANGE:
      return "路径太长";
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return "路径无效";
    default:
      break;
  }
  std::wstring message = SystemErrorText(error);
  while (!message.empty() && message.back() == L'.') message.pop_back();
  if (message.empty()) return "错误 " + std::to_string(error);
  return Utf8FromWide(message);
}

bool NotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH || error == ERROR_INVALID_DRIVE;
}

class HandleFile : public HeldFile {
 public:
  explicit HandleFile(HANDLE file) : file_(file) {}
  ~HandleFile() override { CloseHandle(file_); }  // and the system deletes the file

 private:
  HANDLE file_;
};

class MutexSlot : public RenderSlot {
 public:
  explicit MutexSlot(HANDLE mutex) : mutex_(mutex) {}
  // The acquiring thread releases it; a process or thread that dies holding it leaves it
  // abandoned, which the next waiter receives as acquired.
  ~MutexSlot() override { ReleaseMutex(mutex_); }

 private:
  HANDLE mutex_;
};

// The current user's SID as text, so that each user has slots of their own (another user's
// mutex of the same name could not be opened anyway).
std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::vector<unsigned char> buffer(256);
  DWORD size = 0;
  BOOL ok = GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()),
                                &size);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer.resize(size);
    ok = GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  }
  CloseHandle(token);
  wchar_t* sid = nullptr;
  if (!ok ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
    return {};
  }
  std::wstring text(sid);
  LocalFree(sid);
  return text;
}

// The machine's render slots, one named mutex each, opened once per process. Empty when the
// mutexes cannot be had.
std::vector<HANDLE> SlotMutexes() {
  std::wstring sid = UserSid();
  if (sid.empty()) return {};
  int count = std::min(CoreCount(), static_cast<int>(MAXIMUM_WAIT_OBJECTS));
  std::vector<HANDLE> mutexes;
  for (int i = 0; i < count; ++i) {
    std::wstring name = L"Global\\Vellumor-render-" + sid + L"-" + std::to_wstring(i);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
      for (HANDLE h : mutexes) CloseHandle(h);
      return {};
    }
    mutexes.push_back(mutex);
  }
  return mutexes;
}

void Write(DWORD which, std::FILE* stream, std::string_view line) {
  HANDLE handle = GetStdHandle(which);
  if (IsConsole(handle)) {
    // A console shows UTF-16 whatever its code page.
    std::wstring text = WideFromUtf8(line) + L"\r\n";
    DWORD written = 0;
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  // Redirected: UTF-8 bytes, as on the other platforms.
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\' && path.back() != '/' &&
      !(path.size() == 2 && path[1] == ':')) {
    path += '\\';
  }
  path += name;
  return path;
}

void CheckReadableFile(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw Failure(Reason(GetLastError()));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw Failure("是一个文件夹，不是文件");
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw Failure(Reason(GetLastError()));
  DWORD type = GetFileType(file);
  CloseHandle(file);
  if (type != FILE_TYPE_DISK) throw Failure("不是普通文件");
}

void CheckFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw Failure(Reason(GetLastError()));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) throw Failure("不是文件夹");
}

bool Exists(const std::string& path) {
  if (GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  // Only a definite "not there" counts as free: a name that cannot be examined is never taken.
  return !NotFound(GetLastError());
}

std::FILE* CreateForWriting(const std::string& path) {
  // While it is open nobody can open it without sharing, which tells RemoveIfAbandoned that a
  // live process writes it. Shared for deleting, so that RemoveFile can remove it even while a
  // thread given up on still has it open: the system deletes it when that handle closes, at the
  // latest when the process ends.
  HANDLE file =
      CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
    throw Failure(Reason(error));
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    Failure failure(Reason(GetLastError()));
    CloseHandle(file);
    DeleteFileW(WideFromUtf8(path).c_str());
    throw failure;
  }
  std::FILE* stream = _fdopen(fd, "wb");
  if (!stream) {
    _close(fd);  // closes the handle too
    DeleteFileW(WideFromUtf8(path).c_str());
    throw Failure("无法打开文件流");
  }
  return stream;
}

bool RemoveIfAbandoned(const std::string& path) {
  // Opened without sharing, which fails while any process has it open, and deleted when this
  // handle closes. A read-only file is refused: it is not this program's.
  HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return NotFound(GetLastError());
  CloseHandle(file);
  return true;
}

std::unique_ptr<HeldFile> HoldFile(const std::string& path) {
  // Opened without sharing: a second holder fails. The system deletes the file when its last
  // handle closes, also when the process dies.
  HANDLE file =
      CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    // Access is denied to a file whose last holder is closing it, and in a read-only folder.
    DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    bool busy = error == ERROR_SHARING_VIOLATION ||
                (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
                 !(attributes & FILE_ATTRIBUTE_DIRECTORY));
    if (busy) return nullptr;
    throw Failure(Reason(error));
  }
  return std::make_unique<HandleFile>(file);
}

bool Seek(std::FILE* file, std::int64_t offset, int whence) {
  return fseeko64(file, static_cast<_off64_t>(offset), whence) == 0;
}

std::int64_t Tell(std::FILE* file) { return static_cast<std::int64_t>(ftello64(file)); }

void MoveWithoutReplacing(const std::string& from, const std::string& to) {
  // The image must not keep the hidden attribute of its temporary name.
  SetFileAttributesW(WideFromUtf8(from).c_str(), FILE_ATTRIBUTE_NORMAL);
  // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name, atomically.
  if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), 0)) return;
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    throw Failure("目标文件已存在");
  }
  throw Failure(Reason(error));
}

void RemoveFile(const std::string& path) { DeleteFileW(WideFromUtf8(path).c_str()); }

int CoreCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors == 0 ? 1 : static_cast<int>(info.dwNumberOfProcessors);
}

std::uint64_t PhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

// Large pages need a privilege that users do not hold by default: small pages serve.
void* MapMemory(std::size_t size) {
  return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void UnmapMemory(void* block, std::size_t) { VirtualFree(block, 0, MEM_RELEASE); }

std::unique_ptr<RenderSlot> AcquireRenderSlot() {
  static const std::vector<HANDLE> mutexes = SlotMutexes();
  if (mutexes.empty()) return nullptr;
  DWORD count = static_cast<DWORD>(mutexes.size());
  // Whichever slot frees first; an abandoned one (its holder died) is acquired as well.
  DWORD result = WaitForMultipleObjects(count, mutexes.data(), FALSE, INFINITE);
  if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) {
    return std::make_unique<MutexSlot>(mutexes[result - WAIT_OBJECT_0]);
  }
  if (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count) {
    return std::make_unique<MutexSlot>(mutexes[result - WAIT_ABANDONED_0]);
  }
  return nullptr;
}

void PrintLine(std::string_view line) { Write(STD_OUTPUT_HANDLE, stdout, line); }

void PrintError(std::string_view line) { Write(STD_ERROR_HANDLE, stderr, line); }

}  // namespace platform
