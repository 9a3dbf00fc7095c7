#include <gif_lib.h>

#include <vector>

#include "xps2img/writers/image_writer.h"
#include "xps2img/writers/palette.h"

namespace {

int WriteToFile(GifFileType* gif, const GifByteType* data, int length) {
  return static_cast<int>(
      std::fwrite(data, 1, static_cast<size_t>(length), static_cast<std::FILE*>(gif->UserData)));
}

// GIF cannot be written before its palette is known: the first pass only counts colours,
// the second maps the rows to the palette and compresses them. So the page is rendered twice,
// band by band, and never held whole. GIF has no field for the resolution.
class GifWriter : public ImageWriter {
 public:
  GifWriter(std::FILE* file, const ImageShape& shape)
      : file_(file), width_(shape.width), height_(shape.height), indices_(shape.width) {}
  ~GifWriter() override {
    int error;
    if (gif_) EGifCloseFile(gif_, &error);
  }

  int Passes() const override { return 2; }

  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    for (int i = 0; i < count; ++i, ++row_) {
      const std::uint8_t* row = rows + i * stride;
      if (row_ < height_) {
        palette_.Count(row, width_);
        continue;
      }
      if (row_ == height_) Begin();
      palette_.Map(row, width_, indices_.data());
      Check(EGifPutLine(gif_, indices_.data(), width_));
    }
  }

  void Finish() override {
    int error = 0;
    GifFileType* gif = gif_;
    gif_ = nullptr;
    if (EGifCloseFile(gif, &error) != GIF_OK) throw EncodeError(GifErrorString(error));
  }

 private:
  void Begin() {
    palette_.Choose();
    const auto& colours = palette_.colours();
    int bits = GifBitSize(static_cast<int>(colours.size()));
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (!map) throw EncodeError("out of memory");
    for (size_t i = 0; i < colours.size(); ++i) {
      map->Colors[i] = {colours[i].r, colours[i].g, colours[i].b};
    }
    int error = 0;
    gif_ = EGifOpen(file_, WriteToFile, &error);
    if (!gif_) {
      GifFreeMapObject(map);
      throw EncodeError(GifErrorString(error));
    }
    int status = EGifPutScreenDesc(gif_, width_, height_, bits, 0, map);
    GifFreeMapObject(map);
    Check(status);
    Check(EGifPutImageDesc(gif_, 0, 0, width_, height_, false, nullptr));
  }

  void Check(int status) {
    if (status != GIF_OK) throw EncodeError(GifErrorString(gif_->Error));
  }

  std::FILE* file_;
  int width_;
  int height_;
  int row_ = 0;  // counts through both passes
  Palette palette_;
  std::vector<GifPixelType> indices_;
  GifFileType* gif_ = nullptr;
};

}  // namespace

std::unique_ptr<ImageWriter> NewGifWriter(std::FILE* file, const ImageShape& shape) {
  return std::make_unique<GifWriter>(file, shape);
}
