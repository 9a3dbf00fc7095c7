#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Chooses up to 256 colours for an image by median cut over a histogram of 15-bit colours,
// then maps each pixel to its nearest chosen colour. The histogram is filled band by band,
// so the image never has to be held whole.
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

  std::vector<Bin> bins_;
  std::vector<Colour> colours_;
  std::vector<std::uint8_t> nearest_;  // palette index for each 15-bit colour
};
