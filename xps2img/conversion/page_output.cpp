#include "xps2img/conversion/page_output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "xps2img/conversion/messages.h"
#include "xps2img/platform/platform.h"
#include "xps2img/writers/image_writer.h"

namespace {

// Rows rendered and encoded at a time: 8 MB, so an A4 page at 600 dpi takes 13 bands.
constexpr std::int64_t kBandBytes = std::int64_t{8} << 20;
constexpr int kMinBandRows = 16;
// Rows of a grey band taken to one channel at a time.
constexpr int kGreyRows = 64;

}  // namespace

// Band by band, as many times as the writer needs; in grey, each band is taken to one channel
// first. A writer that holds the whole image in colour has it drawn straight into its memory,
// in one go.
bool EncodePage(BandRenderer& renderer, const PreparedPage& page, ImageWriter& writer, bool grey,
                PageStop* stop, PageLosses* losses) {
  std::ptrdiff_t stride = 0;
  if (writer.Passes() == 1 && !grey) {
    if (std::uint8_t* rows = writer.NextRows(page.height(), &stride)) {
      renderer.RenderInto(page, 0, page.height(), rows, stride, stop, losses);
      writer.Finish();
      return true;
    }
  }
  std::int64_t rowBytes = std::int64_t{page.width()} * 3;
  int bandRows = static_cast<int>(
      std::clamp<std::int64_t>(kBandBytes / rowBytes, kMinBandRows, page.height()));
  int width = page.width();
  std::vector<std::uint8_t> greyRows;  // only for a writer that lends no memory
  for (int pass = 0; pass < writer.Passes(); ++pass) {
    for (int y = 0; y < page.height(); y += bandRows) {
      Band band = renderer.Render(page, y, std::min(bandRows, page.height() - y), stop, losses);
      if (!grey) {
        writer.WriteRows(band.rows, band.stride, band.count);
        continue;
      }
      for (int done = 0; done < band.count; done += kGreyRows) {
        int n = std::min(kGreyRows, band.count - done);
        // Taken to one channel in the writer's memory where it has some, else through ours.
        std::uint8_t* out = writer.NextRows(n, &stride);
        if (!out) {
          greyRows.resize(static_cast<std::size_t>(width) * kGreyRows);
          out = greyRows.data();
          stride = width;
        }
        for (int i = 0; i < n; ++i) {
          if (!RgbToGrey(band.rows + (done + i) * band.stride, width, out + i * stride)) {
            return false;
          }
        }
        if (out == greyRows.data()) writer.WriteRows(out, width, n);
      }
    }
  }
  writer.Finish();
  return true;
}

namespace {

// Writes `page` into a new file at `path`, in grey if `grey`; false when it turned out to have
// colour after all, and the file is then the caller's to remove.
bool WriteImage(BandRenderer& renderer, const PreparedPage& page, const std::string& path,
                const Options& options, bool grey, PageStop* stop, PageLosses* losses) {
  std::FILE* out = nullptr;
  try {
    out = platform::CreateForWriting(path);
    // A file a dead converter left under this name since the names were reserved.
    if (!out && platform::RemoveIfAbandoned(path)) out = platform::CreateForWriting(path);
  } catch (const Failure& failure) {
    throw Failure(CannotCreateTemporaryText(path, failure.what()));
  }
  if (!out) throw Failure(TemporaryInUseText(path));
  bool written = false;
  try {
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    auto writer =
        NewImageWriter(options.format.format, out, {page.width(), page.height(), page.dpi(), grey});
    written = EncodePage(renderer, page, *writer, grey, stop, losses);
  } catch (...) {
    std::fclose(out);
    throw;
  }
  bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || (written && failed)) {
    throw Failure(WriteFailedText(path));
  }
  return written;
}

}  // namespace

void WritePage(BandRenderer& renderer, const PreparedPage& page, const PageFile& file,
               const Options& options, PageStop* stop, PageLosses* losses) {
  bool grey = page.grey() && StoresGrey(options.format.format);
  if (!WriteImage(renderer, page, file.temporary, options, grey, stop, losses)) {
    platform::RemoveFile(file.temporary);
    WriteImage(renderer, page, file.temporary, options, false, stop, losses);
  }
  try {
    platform::MoveWithoutReplacing(file.temporary, file.final);
  } catch (const Failure& failure) {
    throw Failure(CannotMoveText(file.final, failure.what()));
  }
}
