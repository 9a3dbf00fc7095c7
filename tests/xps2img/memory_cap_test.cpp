#include <gtest/gtest.h>

#include "xps2img/conversion/memory_cap.h"

namespace {

constexpr std::uint64_t kMiB = 1 << 20, kGiB = kMiB << 10;

// Converters holding every render slot share half the machine's memory, within bounds.
TEST(DefaultMemoryCap, HalfTheMemoryOverTheSlotsWithinBounds) {
  struct Case {
    std::uint64_t physical;
    int slots;
    std::uint64_t cap;
  };
  const std::uint64_t most = sizeof(void*) < 8 ? kGiB : 2 * kGiB;
  for (const Case& c : std::vector<Case>{{8 * kGiB, 4, kGiB},
                                         {16 * kGiB, 8, kGiB},
                                         {6 * kGiB, 6, 512 * kMiB},
                                         {64 * kGiB, 2, most},
                                         {2 * kGiB, 16, 256 * kMiB},
                                         {0, 4, 256 * kMiB},
                                         {8 * kGiB, 0, most}}) {
    EXPECT_EQ(DefaultMemoryCap(c.physical, c.slots), c.cap) << c.physical << " / " << c.slots;
  }
}

}  // namespace
