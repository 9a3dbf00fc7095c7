#include "xps2img/page_output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "xps2img/image_writer.h"
#include "xps2img/platform.h"

namespace {

// Rows rendered and encoded at a time: 8 MB, so an A4 page at 600 dpi takes 13 bands.
constexpr std::int64_t kBandBytes = std::int64_t{8} << 20;
constexpr int kMinBandRows = 16;

// Renders `page` band by band into `writer`, as many times as the writer needs.
void Encode(BandRenderer& renderer, const PreparedPage& page, ImageWriter& writer, PageStop* stop,
            PageLosses* losses) {
  std::int64_t rowBytes = std::int64_t{page.width()} * 3;
  int bandRows = static_cast<int>(
      std::clamp<std::int64_t>(kBandBytes / rowBytes, kMinBandRows, page.height()));
  for (int pass = 0; pass < writer.Passes(); ++pass) {
    for (int y = 0; y < page.height(); y += bandRows) {
      Band band = renderer.Render(page, y, std::min(bandRows, page.height() - y), stop, losses);
      writer.WriteRows(band.rows, band.stride, band.count);
    }
  }
  writer.Finish();
}

// Writes `page` into the existing file at `path`.
void WriteImage(BandRenderer& renderer, const PreparedPage& page, const std::string& path,
                const Options& options, bool grey, PageStop* stop, PageLosses* losses) {
  std::string reason;
  bool exists = false;
  std::FILE* out = platform::CreateForWriting(path, exists, reason);
  // A file a dead converter left under this name since the names were reserved.
  if (!out && exists && platform::RemoveIfAbandoned(path)) {
    out = platform::CreateForWriting(path, exists, reason);
  }
  if (!out && exists) throw std::runtime_error("临时文件" + Quote(path) + "正被另一个程序使用");
  if (!out) throw std::runtime_error("无法创建临时文件" + Quote(path) + "：" + reason);
  try {
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    auto writer =
        NewImageWriter(options.format.format, out, {page.width(), page.height(), page.dpi(), grey});
    Encode(renderer, page, *writer, stop, losses);
  } catch (...) {
    std::fclose(out);
    throw;
  }
  bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    throw std::runtime_error("写入临时文件" + Quote(path) + "失败（磁盘已满？）");
  }
}

}  // namespace

void WritePage(BandRenderer& renderer, const PreparedPage& page, const PageFile& file,
               const Options& options, PageStop* stop, PageLosses* losses) {
  try {
    WriteImage(renderer, page, file.temporary, options, page.grey(), stop, losses);
  } catch (const NotGrey&) {
    platform::RemoveFile(file.temporary);
    WriteImage(renderer, page, file.temporary, options, false, stop, losses);
  }
  std::string reason = platform::MoveWithoutReplacing(file.temporary, file.final);
  if (!reason.empty()) throw std::runtime_error("无法写成" + Quote(file.final) + "：" + reason);
}

std::string Quote(const std::string& text) { return "“" + text + "”"; }
