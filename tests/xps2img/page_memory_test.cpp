#include "xps2img/platform/page_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "xps2img/engine/mupdf_memory.h"
#include "xps2img/platform/platform.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Fills `size` bytes at `block` with a pattern of `seed`, and checks it.
void Fill(void* block, std::size_t size, unsigned seed) {
  auto* bytes = static_cast<std::uint8_t*>(block);
  for (std::size_t i = 0; i < size; i += 997) bytes[i] = static_cast<std::uint8_t>(i * seed);
  bytes[size - 1] = static_cast<std::uint8_t>(seed);
}
bool Holds(const void* block, std::size_t size, unsigned seed) {
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  for (std::size_t i = 0; i < size - 1; i += 997) {
    if (bytes[i] != static_cast<std::uint8_t>(i * seed)) return false;
  }
  return bytes[size - 1] == static_cast<std::uint8_t>(seed);
}

// A block given back serves the next page that fits in it, never one that does not; of those
// kept, the smallest that fits is taken.
TEST(PageMemory, AKeptBlockServesOnlyPagesThatFitInIt) {
  const std::size_t small = 3 * kMiB + 4321, large = 9 * kMiB + 1234;
  void* a = page_memory::Take(small);
  ASSERT_NE(a, nullptr);
  Fill(a, small, 3);
  page_memory::Give(a);
  EXPECT_EQ(page_memory::Take(small), a);  // kept, not mapped afresh
  page_memory::Give(a);

  void* b = page_memory::Take(large);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(b, a);
  Fill(b, large, 5);
  EXPECT_TRUE(Holds(b, large, 5));
  page_memory::Give(b);
  EXPECT_EQ(page_memory::Take(small), a);
  EXPECT_EQ(page_memory::Take(small + kMiB), b);
  page_memory::Give(a);
  page_memory::Give(b);
  page_memory::Give(nullptr);
}

// MuPDF's blocks move between malloc and page memory as they grow past the size of a page's
// and shrink below it, keeping their bytes, and are counted as before.
TEST(PageMemory, MupdfBlocksKeepTheirBytesAcrossBothKinds) {
  const fz_alloc_context* allocator = mupdf_memory::Allocator();
  std::size_t base = mupdf_memory::InUse();
  void* block = allocator->malloc(nullptr, 1000);
  ASSERT_NE(block, nullptr);
  Fill(block, 1000, 7);
  std::size_t held = 1000;
  for (std::size_t size : {page_memory::kSmallest, 5 * kMiB, 3 * kMiB, 200 * std::size_t{1024},
                           2 * kMiB, std::size_t{1500}}) {
    void* moved = allocator->realloc(nullptr, block, size);
    ASSERT_NE(moved, nullptr) << size;
    EXPECT_TRUE(Holds(moved, std::min<std::size_t>(held, 1000), 7)) << size;
    EXPECT_EQ(mupdf_memory::InUse(), base + size) << size;
    Fill(moved, size, 7);
    block = moved;
    held = size;
  }
  allocator->free(nullptr, block);
  EXPECT_EQ(mupdf_memory::InUse(), base);
}

// Fresh blocks start at a huge page's boundary, and their whole huge pages are asked for in
// huge pages (the kernel's "hg" flag), the tail in small ones.
TEST(PageMemory, FreshBlocksAskForHugePages) {
  const std::size_t size = 5 * kMiB + 100;
  void* block = platform::MapMemory(size);
  ASSERT_NE(block, nullptr);
  auto at = reinterpret_cast<std::uintptr_t>(block);
  EXPECT_EQ(at % (2 * kMiB), 0u);
  std::ifstream thp("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(thp, modes);
  if (modes.find("[never]") != std::string::npos || modes.empty()) {
    std::printf("huge pages not checked: this system gives none (%s)\n", modes.c_str());
  } else {
    // Each mapping's flags, by its range.
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    std::vector<std::pair<std::uintptr_t, bool>> advised;  // start, hg
    std::uintptr_t start = 0;
    while (std::getline(smaps, line)) {
      unsigned long long from = 0, to = 0;
      if (std::sscanf(line.c_str(), "%llx-%llx ", &from, &to) == 2 && line.find(' ') > 8) {
        start = from;
      } else if (line.starts_with("VmFlags:") && start >= at && start < at + size) {
        advised.emplace_back(start, line.find(" hg") != std::string::npos);
      }
    }
    ASSERT_EQ(advised.size(), 2u);
    EXPECT_EQ(advised[0], std::make_pair(at, true));
    EXPECT_EQ(advised[1], std::make_pair(at + 4 * kMiB, false));
  }
  platform::UnmapMemory(block, size);
}

}  // namespace
