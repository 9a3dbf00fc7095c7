#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// Owners of the system's handles, each released once by the call that matches how it was
// obtained, on every path out of the scope that holds it.
namespace scoped {

struct CloseHandleDeleter {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct DeleteObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

// A kernel object's handle (process, thread, file); hold INVALID_HANDLE_VALUE as nullptr.
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandleDeleter>;
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, DeleteObjectDeleter>;

// The screen's device context, for reading its capabilities.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace scoped
