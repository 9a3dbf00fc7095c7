#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Memory for whole pages and bands: blocks of megabytes that a page fills, such as the
// encoder's rows and MuPDF's band pixmaps. The first touch of every page of fresh memory costs
// a fault in which the system finds, clears and maps it, and a converter lives for a few pages
// only: a block is mapped in huge pages where the system gives them (one fault for 2 MiB rather
// than 512), and a block given back is kept for the next page rather than returned to the
// system. Safe to use from any thread.
namespace page_memory {

// Blocks smaller than this are left to malloc.
constexpr std::size_t kSmallest = std::size_t{1} << 20;

// At least `size` bytes, uninitialised and aligned for any type: the smallest block given back
// before that is large enough, else one freshly mapped. Null when the system has no memory for
// it.
void* Take(std::size_t size);

// Gives back a block from Take (null is ignored), to be kept for a later Take while few are
// kept, else returned to the system.
void Give(void* block);

// A block from Take, given back when destroyed.
struct Giver {
  void operator()(std::uint8_t* block) const { Give(block); }
};
using Block = std::unique_ptr<std::uint8_t[], Giver>;

// Take as a Block; throws std::bad_alloc when the system has no memory for it.
Block TakeBlock(std::size_t size);

}  // namespace page_memory
