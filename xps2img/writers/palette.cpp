#include "xps2img/writers/palette.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int kMaxColours = 256;

int Key(const std::uint8_t* p) { return (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3); }

int Channel(int key, int axis) { return (key >> (10 - 5 * axis)) & 31; }

// A box of histogram bins (by key) that median cut may split further.
struct Box {
  std::vector<int> keys;
  std::uint64_t pixels = 0;
  int widestAxis = 0;
  int width = 0;
};

Box MakeBox(std::vector<int> keys, const auto& bins) {
  Box box;
  int low[3] = {31, 31, 31}, high[3] = {0, 0, 0};
  for (int key : keys) {
    box.pixels += bins[key].count;
    for (int a = 0; a < 3; ++a) {
      low[a] = std::min(low[a], Channel(key, a));
      high[a] = std::max(high[a], Channel(key, a));
    }
  }
  for (int a = 0; a < 3; ++a) {
    if (high[a] - low[a] > box.width) {
      box.width = high[a] - low[a];
      box.widestAxis = a;
    }
  }
  box.keys = std::move(keys);
  return box;
}

}  // namespace

Palette::Palette() : exact_(kSlots, kEmpty), exactIndex_(kSlots), bins_(kBins) {}

size_t Palette::Slot(std::uint32_t colour) const {
  size_t slot = (colour * 2654435761u) % kSlots;
  while (exact_[slot] != kEmpty && exact_[slot] != colour) slot = (slot + 1) % kSlots;
  return slot;
}

void Palette::CountExact(std::uint32_t colour) {
  size_t slot = Slot(colour);
  if (exact_[slot] != kEmpty) return;
  if (++exactCount_ > kMaxColours) {
    tooManyColours_ = true;
    return;
  }
  exact_[slot] = colour;
}

void Palette::Count(const std::uint8_t* rgb, int pixels) {
  std::uint32_t last = kEmpty;
  for (int i = 0; i < pixels; ++i, rgb += 3) {
    std::uint32_t colour = std::uint32_t{rgb[0]} << 16 | rgb[1] << 8 | rgb[2];
    if (!tooManyColours_ && colour != last) CountExact(colour);
    last = colour;
    Bin& bin = bins_[static_cast<size_t>(Key(rgb))];
    ++bin.count;
    bin.r += rgb[0];
    bin.g += rgb[1];
    bin.b += rgb[2];
  }
}

void Palette::Choose() {
  if (!tooManyColours_) {
    for (size_t slot = 0; slot < kSlots; ++slot) {
      std::uint32_t c = exact_[slot];
      if (c == kEmpty) continue;
      exactIndex_[slot] = static_cast<std::uint8_t>(colours_.size());
      colours_.push_back({std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
    }
    if (colours_.empty()) colours_.push_back({255, 255, 255});
    return;
  }
  std::vector<int> used;
  for (int key = 0; key < kBins; ++key) {
    if (bins_[static_cast<size_t>(key)].count) used.push_back(key);
  }
  std::vector<Box> boxes;
  if (!used.empty()) boxes.push_back(MakeBox(std::move(used), bins_));
  // Split the most populous box that still spans several bins, at its median pixel.
  while (boxes.size() < kMaxColours) {
    auto it = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
      return (a.width ? a.pixels : 0) < (b.width ? b.pixels : 0);
    });
    if (it == boxes.end() || it->width == 0) break;
    Box box = std::move(*it);
    boxes.erase(it);
    int axis = box.widestAxis;
    std::sort(box.keys.begin(), box.keys.end(),
              [axis](int a, int b) { return Channel(a, axis) < Channel(b, axis); });
    std::uint64_t half = box.pixels / 2, seen = 0;
    size_t cut = 0;
    while (cut + 1 < box.keys.size() && seen + bins_[box.keys[cut]].count <= half) {
      seen += bins_[box.keys[cut++]].count;
    }
    cut = std::max<size_t>(cut, 1);
    boxes.push_back(MakeBox({box.keys.begin(), box.keys.begin() + cut}, bins_));
    boxes.push_back(MakeBox({box.keys.begin() + cut, box.keys.end()}, bins_));
  }
  // Each colour is the mean of the pixels in its box.
  for (const Box& box : boxes) {
    std::uint64_t r = 0, g = 0, b = 0;
    for (int key : box.keys) {
      r += bins_[key].r;
      g += bins_[key].g;
      b += bins_[key].b;
    }
    auto mean = [&](std::uint64_t sum) {
      return static_cast<std::uint8_t>((sum + box.pixels / 2) / box.pixels);
    };
    colours_.push_back({mean(r), mean(g), mean(b)});
  }
  if (colours_.empty()) colours_.push_back({255, 255, 255});

  nearest_.resize(kBins);
  for (int key = 0; key < kBins; ++key) {
    const Bin& bin = bins_[static_cast<size_t>(key)];
    int r = bin.count ? static_cast<int>(bin.r / bin.count) : Channel(key, 0) << 3 | 4;
    int g = bin.count ? static_cast<int>(bin.g / bin.count) : Channel(key, 1) << 3 | 4;
    int b = bin.count ? static_cast<int>(bin.b / bin.count) : Channel(key, 2) << 3 | 4;
    int best = 0, bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < colours_.size(); ++i) {
      int dr = r - colours_[i].r, dg = g - colours_[i].g, db = b - colours_[i].b;
      int distance = dr * dr + dg * dg + db * db;
      if (distance < bestDistance) {
        bestDistance = distance;
        best = static_cast<int>(i);
      }
    }
    nearest_[static_cast<size_t>(key)] = static_cast<std::uint8_t>(best);
  }
}

void Palette::Map(const std::uint8_t* rgb, int pixels, std::uint8_t* indices) const {
  if (tooManyColours_) {
    for (int i = 0; i < pixels; ++i, rgb += 3) {
      indices[i] = nearest_[static_cast<size_t>(Key(rgb))];
    }
    return;
  }
  for (int i = 0; i < pixels; ++i, rgb += 3) {
    std::uint32_t colour = std::uint32_t{rgb[0]} << 16 | rgb[1] << 8 | rgb[2];
    size_t slot = Slot(colour);
    // Every colour was counted in the first pass; one that was not gets index 0.
    indices[i] = exact_[slot] == colour ? exactIndex_[slot] : 0;
  }
}
