#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Chooses up to 256 colours for an image, then maps each pixel to one of them. An image of at
// most 256 colours keeps them exactly; otherwise median cut over a histogram of 15-bit
// colours picks them and each pixel gets the nearest. The image arrives band by band and is
// never held whole.
class Palette {
 public:
  struct Colour {
    std::uint8_t r, g, b;
  };

  Palette();

  void Count(const std::uint8_t* rgb, int pixels);
  // Picks the colours from what was counted; call once, before Map.
  void Choose();
  void Map(const std::uint8_t* rgb, int pixels, std::uint8_t* indices) const;

  const std::vector<Colour>& colours() const { return colours_; }

 private:
  static constexpr int kBins = 1 << 15;

  struct Bin {
    std::uint64_t count = 0, r = 0, g = 0, b = 0;
  };

  // The exact colours seen, while there are at most 256: an open-addressed table of 24-bit
  // colours (kEmpty where free) and, after Choose, each one's palette index.
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
  static constexpr std::size_t kSlots = 1024;
  std::size_t Slot(std::uint32_t colour) const;
  void CountExact(std::uint32_t colour);

  std::vector<std::uint32_t> exact_;
  std::vector<std::uint8_t> exactIndex_;
  int exactCount_ = 0;
  bool tooManyColours_ = false;
  std::vector<Bin> bins_;
  std::vector<Colour> colours_;
  std::vector<std::uint8_t> nearest_;  // palette index for each 15-bit colour
};
