#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <spng.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "xps2img/platform/page_memory.h"
#include "xps2img/writers/image_writer.h"

namespace {

// Text repeats exactly, and deflate finds the repeats best in unfiltered rows; shading and
// photographs compress best, and quickest, with each row taken from the row above (PNG's Up
// filter). A page that fits in memory is written the way its sample strips compress smaller
// (see SampleSizes); a streamed page is left unfiltered.
//
// libdeflate's level 2 is the quickest (level 1 searches differently and is slower on rendered
// pages). Below 200 dpi it leaves text some 5 % larger than level 6 does, in three quarters of
// the time. At higher resolutions text repeats in longer runs, which level 4 finds in the same
// time as level 2: 7 % smaller at 300 dpi (level 6 is 20 % smaller but 15 % slower).
int CompressionLevel(int dpi) { return dpi < 200 ? 2 : 4; }
// libdeflate spends most of its time on a text page walking the long runs of white, byte by
// byte; ISA-L's level 1 runs over them some five times as fast, but writes text a fifth to a
// third larger. A sparse page is small either way and goes to ISA-L; a denser page, where those
// extra bytes add up, to libdeflate. Sparse is a sample that compresses to less than 1/40 of its
// size below 200 dpi, 1/160 from 200 dpi, where pages are whiter. On a batch of mostly text
// that is some 8 % more bytes than libdeflate alone, about what zlib's level 6 gives, for a
// sixth less time in all.
std::size_t SparseRatio(int dpi) { return dpi < 200 ? 40 : 160; }
// zlib's level for a streamed page, where deflate's time matters less than the page's size.
constexpr int kStreamingLevel = 6;
// The sample: this many strips of this many rows, spread over the page.
constexpr int kSampleStrips = 4;
constexpr int kSampleRows = 8;

void Check(int status) {
  if (status != SPNG_OK) throw EncodeError(spng_strerror(status));
}

using Compressor = std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)>;

// PNG's Up filter of `rows`, each `rowBytes` long and led by its filter type, in place: each byte
// less the byte above it. From the last row up, so that every row is taken from its original.
void ApplyUpFilter(std::uint8_t* rows, std::size_t rowBytes, std::size_t count) {
  std::size_t step = rowBytes + 1;
  for (std::size_t y = count; y-- > 0;) {
    std::uint8_t* row = rows + y * step;
    row[0] = 2;         // filter type Up
    if (y == 0) break;  // the row above the first is zero
    const std::uint8_t* above = row - step;
    for (std::size_t x = 1; x <= rowBytes; ++x)
      row[x] = static_cast<std::uint8_t>(row[x] - above[x]);
  }
}

// What sample strips of the unfiltered `rows` compress to, unfiltered and Up-filtered; each
// strip is filtered with the row above it. All zero when the page is too short to sample.
struct SampleSizes {
  std::size_t raw = 0, plain = 0, up = 0;

  // A near tie, as on blank strips of a text page, keeps the rows unfiltered.
  bool UpIsSmaller() const { return up != 0 && up * 8 < plain * 7; }
  bool Sparse(int dpi) const { return raw != 0 && std::min(plain, up) * SparseRatio(dpi) < raw; }
};

SampleSizes CompressSample(libdeflate_compressor* compressor, const std::uint8_t* rows,
                           std::size_t rowBytes, std::size_t count) {
  std::size_t step = rowBytes + 1;
  if (count < std::size_t{kSampleStrips} * (kSampleRows + 1)) return {};
  std::vector<std::uint8_t> plain, up;
  for (int strip = 0; strip < kSampleStrips; ++strip) {
    std::size_t first = count * static_cast<std::size_t>(strip + 1) / (kSampleStrips + 1);
    const std::uint8_t* from = rows + (first - 1) * step;
    plain.insert(plain.end(), from + step, from + (kSampleRows + 1) * step);
    std::size_t at = up.size();
    up.insert(up.end(), from, from + (kSampleRows + 1) * step);
    ApplyUpFilter(up.data() + at, rowBytes, kSampleRows + 1);
    up.erase(up.begin() + static_cast<std::ptrdiff_t>(at),
             up.begin() + static_cast<std::ptrdiff_t>(at + step));  // the row above, unfiltered
  }
  // Both samples are the same size, and compress into the same space in turn.
  std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(compressor, plain.size()));
  auto compressedSize = [&](const std::vector<std::uint8_t>& in) {
    return libdeflate_zlib_compress(compressor, in.data(), in.size(), out.data(), out.size());
  };
  return {plain.size(), compressedSize(plain), compressedSize(up)};
}

// Compresses `size` bytes into a zlib stream with ISA-L's level 1; its size, or 0 when it did
// not fit in `capacity`.
std::size_t FastZlibCompress(const std::uint8_t* in, std::size_t size, std::uint8_t* out,
                             std::size_t capacity) {
  if (size > UINT32_MAX || capacity > UINT32_MAX) return 0;
  auto stream = std::make_unique<isal_zstream>();
  std::unique_ptr<std::uint8_t[]> levelBuffer(new std::uint8_t[ISAL_DEF_LVL1_DEFAULT]);
  isal_deflate_init(stream.get());
  stream->level = 1;
  stream->level_buf = levelBuffer.get();
  stream->level_buf_size = ISAL_DEF_LVL1_DEFAULT;
  stream->gzip_flag = IGZIP_ZLIB;
  stream->end_of_stream = 1;
  stream->next_in = const_cast<std::uint8_t*>(in);
  stream->avail_in = static_cast<std::uint32_t>(size);
  stream->next_out = out;
  stream->avail_out = static_cast<std::uint32_t>(capacity);
  if (isal_deflate(stream.get()) != COMP_OK || stream->internal_state.state != ZSTATE_END) return 0;
  return stream->total_out;
}

// The rows of a page are gathered, or drawn in place (NextRows), and compressed in one go, by
// libdeflate (some twice as fast as zlib at the same size) or, for a sparse page, by ISA-L.
// libspng writes the chunks before the image data; the image data chunk and the closing chunk
// are ours.
class WholePngWriter : public ImageWriter {
 public:
  WholePngWriter(std::FILE* file, spng_ctx* ctx, const ImageShape& shape, std::size_t rowBytes)
      : file_(file), rowBytes_(rowBytes), dpi_(shape.dpi), level_(CompressionLevel(shape.dpi)) {
    // Left uninitialised: every byte is written before it is read.
    size_ = (rowBytes_ + 1) * static_cast<std::size_t>(shape.height);
    rows_ = page_memory::TakeBlock(size_);
    Check(spng_encode_chunks(ctx));
  }

  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    std::ptrdiff_t step = 0;
    std::uint8_t* out = NextRows(count, &step);
    for (int i = 0; i < count; ++i) std::memcpy(out + i * step, rows + i * stride, rowBytes_);
  }

  std::uint8_t* NextRows(int count, std::ptrdiff_t* stride) override {
    std::size_t step = rowBytes_ + 1;
    if (count < 0 || static_cast<std::size_t>(count) > (size_ - filled_) / step) {
      throw EncodeError("too many rows");
    }
    std::uint8_t* first = rows_.get() + filled_;
    for (int i = 0; i < count; ++i) first[i * step] = 0;  // filter type None
    filled_ += count * step;
    *stride = static_cast<std::ptrdiff_t>(step);
    return first + 1;
  }

  void Finish() override {
    if (filled_ != size_) throw EncodeError("image incomplete");
    Compressor compressor(libdeflate_alloc_compressor(level_), libdeflate_free_compressor);
    if (!compressor) throw EncodeError("out of memory");
    std::size_t count = static_cast<std::size_t>(size_ / (rowBytes_ + 1));
    SampleSizes sample = CompressSample(compressor.get(), rows_.get(), rowBytes_, count);
    if (sample.UpIsSmaller()) ApplyUpFilter(rows_.get(), rowBytes_, count);
    // libdeflate's worst case; a sparse page comes to a small part of it.
    std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size_);
    // Left uninitialised: only the part compressed into is ever touched.
    std::unique_ptr<std::uint8_t[]> packed(new std::uint8_t[bound]);
    std::size_t size =
        sample.Sparse(dpi_)
            ? FastZlibCompress(rows_.get(), size_, packed.get(), bound)
            : libdeflate_zlib_compress(compressor.get(), rows_.get(), size_, packed.get(), bound);
    if (size == 0) throw EncodeError("compression failed");
    compressor.reset();
    rows_.reset();
    // A chunk holds at most 2^31 - 1 bytes.
    constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
    for (std::size_t at = 0; at < size; at += kMaxChunk) {
      WriteChunk("IDAT", packed.get() + at, std::min(kMaxChunk, size - at));
    }
    WriteChunk("IEND", nullptr, 0);
  }

 private:
  void WriteChunk(const char* type, const std::uint8_t* data, std::size_t size) {
    auto bigEndian = [](std::uint32_t n, std::uint8_t* out) {
      for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(n >> (24 - 8 * i));
    };
    std::uint8_t head[8], tail[4];
    bigEndian(static_cast<std::uint32_t>(size), head);
    std::memcpy(head + 4, type, 4);
    // The check sum covers the type and the data.
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    if (size) crc = libdeflate_crc32(crc, data, size);
    bigEndian(crc, tail);
    if (std::fwrite(head, 1, 8, file_) != 8 ||
        (size && std::fwrite(data, 1, size, file_) != size) ||
        std::fwrite(tail, 1, 4, file_) != 4) {
      throw EncodeError("write failed");
    }
  }

  std::FILE* file_;
  std::size_t rowBytes_;
  int dpi_;
  int level_;
  page_memory::Block rows_;  // each row led by its filter type
  std::size_t size_;
  std::size_t filled_ = 0;
};

// A page over the limit streams through libspng's zlib, row by row.
class StreamingPngWriter : public ImageWriter {
 public:
  StreamingPngWriter(spng_ctx* ctx, std::size_t rowBytes) : ctx_(ctx), rowBytes_(rowBytes) {
    Check(spng_encode_image(ctx_, nullptr, 0, SPNG_FMT_PNG,
                            SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
  }

  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    for (int i = 0; i < count; ++i) {
      int status = spng_encode_row(ctx_, rows + i * stride, rowBytes_);
      // The last row finishes the image and reports SPNG_EOI.
      if (status != SPNG_OK && status != SPNG_EOI) Check(status);
    }
  }

  void Finish() override {}

 private:
  spng_ctx* ctx_;
  std::size_t rowBytes_;
};

// Holds libspng's context for either way of writing.
class PngWriter : public ImageWriter {
 public:
  PngWriter(std::FILE* file, const ImageShape& shape, std::size_t wholeImageLimit)
      : ctx_(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free) {
    if (!ctx_) throw EncodeError("out of memory");
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(shape.width);
    ihdr.height = static_cast<std::uint32_t>(shape.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = shape.grey ? SPNG_COLOR_TYPE_GRAYSCALE : SPNG_COLOR_TYPE_TRUECOLOR;
    std::uint32_t perMetre = shape.PixelsPerMetre();
    spng_phys phys{perMetre, perMetre, 1};  // unit 1: the metre
    Check(spng_set_png_file(ctx_.get(), file));
    Check(spng_set_option(ctx_.get(), SPNG_IMG_COMPRESSION_LEVEL, kStreamingLevel));
    Check(spng_set_option(ctx_.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_NONE));
    Check(spng_set_ihdr(ctx_.get(), &ihdr));
    Check(spng_set_phys(ctx_.get(), &phys));
    std::size_t rowBytes = static_cast<std::size_t>(shape.width) * (shape.grey ? 1 : 3);
    if ((rowBytes + 1) * static_cast<std::size_t>(shape.height) <= wholeImageLimit) {
      writer_ = std::make_unique<WholePngWriter>(file, ctx_.get(), shape, rowBytes);
    } else {
      writer_ = std::make_unique<StreamingPngWriter>(ctx_.get(), rowBytes);
    }
  }

  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    writer_->WriteRows(rows, stride, count);
  }
  std::uint8_t* NextRows(int count, std::ptrdiff_t* stride) override {
    return writer_->NextRows(count, stride);
  }
  void Finish() override { writer_->Finish(); }

 private:
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx_;
  std::unique_ptr<ImageWriter> writer_;
};

}  // namespace

std::unique_ptr<ImageWriter> NewPngWriter(std::FILE* file, const ImageShape& shape,
                                          std::size_t wholeImageLimit) {
  return std::make_unique<PngWriter>(file, shape, wholeImageLimit);
}
