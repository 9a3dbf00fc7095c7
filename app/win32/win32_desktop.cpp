#include "app/win32/win32_desktop.h"

#include <shellapi.h>

#include "app/form.h"
#include "app/win32/scoped.h"
#include "app/win32/system_message.h"
#include "app/win32/wide.h"
#include "app/windows_command_line.h"
#include "base/operation_error.h"

std::u16string Win32Desktop::ExecutablePath() {
  // A path longer than the buffer comes back cut short and filling it: grow and ask again.
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      throw OperationError(u"无法取得程序自身的路径：" + SystemMessage(GetLastError()));
    }
    if (length < buffer.size()) return Utf16({buffer.data(), length});
    buffer.resize(buffer.size() * 2);
  }
}

void Win32Desktop::StartProcess(std::u16string_view program,
                                const std::vector<ProgramArgument>& arguments) {
  // A UTF-16 command line, so that names outside the ANSI code page arrive intact.
  std::wstring line = Wide(WindowsCommandLine(program, arguments));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                     nullptr, &startup, &process)) {
    // Not tracked: the handles go at once.
    scoped::Handle thread(process.hThread), started(process.hProcess);
  }
}

bool Win32Desktop::FolderExists(std::u16string_view path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Desktop::CreateNewFile(std::u16string_view path, std::string_view bytes) {
  const std::wstring name = Wide(path);
  scoped::Handle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return false;
    throw OperationError(CreateFileErrorMessage(path, SystemMessage(error)));
  }
  DWORD written = 0;
  const bool wrote =
      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  const DWORD writeError = GetLastError();
  // Closed here rather than by the owner: a failure to close is a failure to write.
  const bool closed = CloseHandle(file.release());
  if (wrote && closed) return true;
  // Never leave a half-written script behind.
  const DWORD error = wrote ? GetLastError() : writeError;
  DeleteFileW(name.c_str());
  throw OperationError(CreateFileErrorMessage(path, SystemMessage(error)));
}

bool Win32Desktop::RunScript(std::u16string_view scriptPath, std::u16string_view folder,
                             std::chrono::milliseconds limit) {
  const std::wstring file = Wide(scriptPath);
  const std::wstring directory = Wide(folder);
  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof request;
  request.fMask = SEE_MASK_NOCLOSEPROCESS;
  request.hwnd = main_;
  request.lpVerb = L"OPEN";
  request.lpFile = file.c_str();
  request.lpParameters = L" ";
  request.lpDirectory = directory.c_str();
  request.nShow = SW_SHOWNORMAL;
  ShellExecuteExW(&request);
  scoped::Handle script(request.hProcess);
  if (script == nullptr) return false;
  WaitForSingleObject(script.get(), static_cast<DWORD>(limit.count()));
  return true;
}

void Win32Desktop::Pause(std::chrono::milliseconds duration) {
  Sleep(static_cast<DWORD>(duration.count()));
}

void Win32Desktop::RemoveFile(std::u16string_view path) { DeleteFileW(Wide(path).c_str()); }

void Win32Desktop::ShowMessage(std::u16string_view text) {
  MessageBoxW(main_, Wide(text).c_str(), Wide(form::kAppTitle).c_str(), MB_OK);
}
