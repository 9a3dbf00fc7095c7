#include "xps2img/engine/context.h"

#include <array>
#include <mutex>

#include "xps2img/engine/guard.h"
#include "xps2img/engine/mupdf_memory.h"

namespace {

// MuPDF's lock callbacks, shared by every context of the process.
std::array<std::mutex, FZ_LOCK_MAX> locks;

void Lock(void*, int lock) { locks[static_cast<size_t>(lock)].lock(); }
void Unlock(void*, int lock) { locks[static_cast<size_t>(lock)].unlock(); }

fz_context* shared = nullptr;
std::once_flag made;

fz_context* NewSharedContext(std::size_t storeBytes) {
  static const fz_locks_context lockContext{nullptr, Lock, Unlock};
  fz_context* ctx = fz_new_context(mupdf_memory::Allocator(), &lockContext, storeBytes);
  if (!ctx) return nullptr;
  ListenToMupdf(ctx);
  fz_register_document_handlers(ctx);
  return ctx;
}

}  // namespace

fz_context* SharedMupdfContext(std::size_t storeBytes) {
  std::call_once(made, [storeBytes] { shared = NewSharedContext(storeBytes); });
  return shared;
}

fz_context* SharedMupdfContext() { return shared; }
