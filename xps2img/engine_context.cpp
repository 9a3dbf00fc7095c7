#include "xps2img/engine_context.h"

#include <array>
#include <mutex>

#include "xps2img/engine_guard.h"
#include "xps2img/mupdf_memory.h"

namespace {

// MuPDF's lock callbacks, shared by every context of the process.
std::array<std::mutex, FZ_LOCK_MAX> locks;

void Lock(void*, int lock) { locks[static_cast<size_t>(lock)].lock(); }
void Unlock(void*, int lock) { locks[static_cast<size_t>(lock)].unlock(); }

fz_context* base = nullptr;

fz_context* NewBaseContext(std::size_t storeBytes) {
  static const fz_locks_context lockContext{nullptr, Lock, Unlock};
  base = fz_new_context(mupdf_memory::Allocator(), &lockContext, storeBytes);
  if (!base) return nullptr;
  ListenToMupdf(base);
  fz_register_document_handlers(base);
  return base;
}

}  // namespace

fz_context* SharedMupdfContext(std::size_t storeBytes) {
  static fz_context* const made = NewBaseContext(storeBytes);
  return made;
}

fz_context* SharedMupdfContext() { return base; }
