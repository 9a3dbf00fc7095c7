#include "xps2img/platform/page_memory.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "xps2img/platform/platform.h"

namespace page_memory {
namespace {

// Each block starts with its size, mapped, in a header that keeps the alignment of a cache line.
constexpr std::size_t kHeader = 64;

// Blocks kept for later pages: a converter's busiest page has two workers, each with an
// encoder's rows and a band, and a page of 300 dpi in colour takes 25 MiB of rows. Larger
// blocks, a huge image's pixels, say, are returned at once.
constexpr std::size_t kKeptBlocks = 4;
constexpr std::size_t kKeptBytes = std::size_t{64} << 20;

struct Kept {
  unsigned char* block;  // at its header
  std::size_t size;      // mapped, the header's included
};

std::mutex mutex;
std::vector<Kept> kept;  // guarded by mutex
std::size_t keptBytes = 0;

std::size_t& SizeOf(unsigned char* block) { return *reinterpret_cast<std::size_t*>(block); }

}  // namespace

void* Take(std::size_t size) {
  if (size > SIZE_MAX - kHeader) return nullptr;
  std::size_t needed = size + kHeader;
  unsigned char* block = nullptr;
  {
    std::lock_guard lock(mutex);
    auto best = kept.end();
    for (auto it = kept.begin(); it != kept.end(); ++it) {
      if (it->size >= needed && (best == kept.end() || it->size < best->size)) best = it;
    }
    if (best != kept.end()) {
      block = best->block;
      keptBytes -= best->size;
      kept.erase(best);
    }
  }
  if (!block) {
    block = static_cast<unsigned char*>(platform::MapMemory(needed));
    if (!block) return nullptr;
    SizeOf(block) = needed;
  }
  return block + kHeader;
}

void Give(void* given) {
  if (!given) return;
  unsigned char* block = static_cast<unsigned char*>(given) - kHeader;
  std::size_t size = SizeOf(block);
  {
    std::lock_guard lock(mutex);
    if (size <= kKeptBytes) {
      kept.push_back({block, size});
      keptBytes += size;
      block = nullptr;
      // Past the bounds the smallest go first: the pages still to come are likelier to be
      // like the largest seen.
      while (kept.size() > kKeptBlocks || keptBytes > kKeptBytes) {
        auto smallest = std::min_element(
            kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.size < b.size; });
        platform::UnmapMemory(smallest->block, smallest->size);
        keptBytes -= smallest->size;
        kept.erase(smallest);
      }
    }
  }
  if (block) platform::UnmapMemory(block, size);
}

Block TakeBlock(std::size_t size) {
  Block block(static_cast<std::uint8_t*>(Take(size)));
  if (!block) throw std::bad_alloc();
  return block;
}

}  // namespace page_memory
