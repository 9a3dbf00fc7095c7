#include "xps2img/engine/mupdf_memory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "xps2img/platform/page_memory.h"

namespace mupdf_memory {
namespace {

// Each block carries its size in a header that keeps malloc's alignment.
constexpr std::size_t kHeader = 16;

std::atomic<std::size_t> inUse{0};
std::atomic<std::size_t> cap{std::numeric_limits<std::size_t>::max()};

// MuPDF answers a failed allocation by emptying its cache and asking again for the same size;
// only a refusal that is not followed by that size being granted costs the page anything.
thread_local std::size_t refused = 0;
thread_local const std::atomic<bool>* stopped = nullptr;

// Blocks of a page's size (band pixmaps, a display list's nodes, images) come from
// page_memory, smaller ones from malloc.
bool FromPageMemory(std::size_t size) { return size >= page_memory::kSmallest; }

// A block that holds `size` bytes and its header, from the source that serves that size,
// uncounted; null when refused.
unsigned char* Acquire(std::size_t size) {
  return static_cast<unsigned char*>(FromPageMemory(size) ? page_memory::Take(size + kHeader)
                                                          : std::malloc(size + kHeader));
}

// Returns a block that holds `size` bytes to where it came from, uncounted.
void Release(unsigned char* block, std::size_t size) {
  if (FromPageMemory(size)) {
    page_memory::Give(block);
  } else {
    std::free(block);
  }
}

// Counts `grow` more bytes unless that passes the cap.
bool Take(std::size_t grow) {
  if (stopped && stopped->load(std::memory_order_relaxed)) return false;
  std::size_t now = inUse.fetch_add(grow) + grow;
  if (now >= grow && now <= cap.load(std::memory_order_relaxed)) return true;
  inUse -= grow;
  return false;
}

void* Malloc(void*, std::size_t size) {
  if (size > std::numeric_limits<std::size_t>::max() - kHeader || !Take(size)) {
    if (!stopped || !*stopped) refused = size;
    return nullptr;
  }
  unsigned char* block = Acquire(size);
  if (!block) {
    inUse -= size;
    return nullptr;
  }
  if (refused == size) refused = 0;
  *reinterpret_cast<std::size_t*>(block) = size;
  return block + kHeader;
}

void* Realloc(void*, void* old, std::size_t size) {
  if (!old) return Malloc(nullptr, size);
  unsigned char* block = static_cast<unsigned char*>(old) - kHeader;
  std::size_t was = *reinterpret_cast<std::size_t*>(block);
  if (size > std::numeric_limits<std::size_t>::max() - kHeader ||
      (size > was && !Take(size - was))) {
    if (!stopped || !*stopped) refused = size;
    return nullptr;
  }
  unsigned char* grown = nullptr;
  if (FromPageMemory(was) && FromPageMemory(size) && size <= was) {
    grown = block;  // shrunk in place
  } else if (FromPageMemory(was) || FromPageMemory(size)) {
    // Moved between blocks of either kind.
    grown = Acquire(size);
    if (grown) {
      std::memcpy(grown + kHeader, block + kHeader, std::min(was, size));
      Release(block, was);
    }
  } else {
    grown = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
  }
  if (!grown) {
    if (size > was) inUse -= size - was;
    return nullptr;
  }
  if (size < was) inUse -= was - size;
  if (refused == size) refused = 0;
  *reinterpret_cast<std::size_t*>(grown) = size;
  return grown + kHeader;
}

void Free(void*, void* pointer) {
  if (!pointer) return;
  unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
  std::size_t size = *reinterpret_cast<std::size_t*>(block);
  inUse -= size;
  Release(block, size);
}

}  // namespace

const fz_alloc_context* Allocator() {
  static const fz_alloc_context allocator{nullptr, Malloc, Realloc, Free};
  return &allocator;
}

std::size_t InUse() { return inUse; }

void SetCap(std::size_t bytes) {
  cap = bytes == 0 ? std::numeric_limits<std::size_t>::max() : bytes;
}

std::size_t Cap() { return cap; }

void FailAllocationsWhen(const std::atomic<bool>* flag) { stopped = flag; }

std::size_t TakeRefused() { return std::exchange(refused, 0); }

}  // namespace mupdf_memory
