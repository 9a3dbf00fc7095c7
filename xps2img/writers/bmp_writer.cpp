#include <cstdio>
#include <vector>

#include "xps2img/platform/platform.h"
#include "xps2img/writers/image_writer.h"

namespace {

constexpr int kHeaderBytes = 14 + 40;  // BITMAPFILEHEADER + BITMAPINFOHEADER

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// A 24-bit BMP, stored bottom-up as most readers expect. The rows of one band lie together in
// the file, in reverse order, so each band is one seek and one write.
class BmpWriter : public ImageWriter {
 public:
  BmpWriter(std::FILE* file, const ImageShape& shape)
      : file_(file),
        height_(shape.height),
        width_(shape.width),
        stride_((shape.width * 3 + 3) & ~3) {
    std::uint8_t header[kHeaderBytes] = {'B', 'M'};
    auto imageBytes = static_cast<std::uint32_t>(static_cast<std::uint64_t>(stride_) * height_);
    std::uint32_t perMetre = shape.PixelsPerMetre();
    Put32(header + 2, kHeaderBytes + imageBytes);
    Put32(header + 10, kHeaderBytes);
    Put32(header + 14, 40);
    Put32(header + 18, static_cast<std::uint32_t>(shape.width));
    Put32(header + 22, static_cast<std::uint32_t>(shape.height));
    Put16(header + 26, 1);   // planes
    Put16(header + 28, 24);  // bits per pixel
    Put32(header + 34, imageBytes);
    Put32(header + 38, perMetre);
    Put32(header + 42, perMetre);
    if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) Fail();
  }

  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    buffer_.assign(static_cast<size_t>(stride_) * count, 0);
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* in = rows + i * stride;
      std::uint8_t* out = buffer_.data() + static_cast<size_t>(stride_) * (count - 1 - i);
      for (int x = 0; x < width_; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
    std::int64_t firstFileRow = height_ - (row_ + count);
    if (!platform::Seek(file_, kHeaderBytes + firstFileRow * stride_, SEEK_SET) ||
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      Fail();
    }
    row_ += count;
  }

  void Finish() override {}

 private:
  [[noreturn]] static void Fail() { throw EncodeError("cannot write the BMP file"); }

  std::FILE* file_;
  int height_;
  int width_;
  int stride_;
  int row_ = 0;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace

std::unique_ptr<ImageWriter> NewBmpWriter(std::FILE* file, const ImageShape& shape) {
  return std::make_unique<BmpWriter>(file, shape);
}
