#include "xps2img/conversion/memory_cap.h"

#include <algorithm>

std::size_t DefaultMemoryCap(std::uint64_t physical, int slots) {
  constexpr std::uint64_t kMiB = 1 << 20;
  const std::uint64_t most = (sizeof(void*) < 8 ? 1024 : 2048) * kMiB, least = 256 * kMiB;
  std::uint64_t share = physical / (2 * static_cast<std::uint64_t>(std::max(slots, 1)));
  return static_cast<std::size_t>(std::clamp(share, least, most));
}
