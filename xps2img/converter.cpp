#include "xps2img/converter.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "xps2img/blocking_queue.h"
#include "xps2img/engine.h"
#include "xps2img/image_writer.h"
#include "xps2img/output_names.h"
#include "xps2img/platform.h"

namespace {

// Each side fits JPEG (65500) and GIF (65535); 500 million pixels keep a BMP under 1.5 GB.
constexpr PixelLimit kPixelLimit{65000, 500e6};
const char* const kPixelLimitText = "每边最多 65000 像素、共最多 5 亿像素";

// MuPDF's cache per converter: fifty converters at once must fit in a few hundred MB.
constexpr std::size_t kStoreBytes = std::size_t{32} << 20;

// Rows rendered and encoded at a time: 8 MB, so an A4 page at 600 dpi takes 13 bands.
constexpr std::int64_t kBandBytes = std::int64_t{8} << 20;
constexpr int kMinBandRows = 16;

// Failures listed in the closing message; further ones are counted only.
constexpr size_t kListedFailures = 10;

std::string Quote(const std::string& text) { return "“" + text + "”"; }

ExitCode Fail(const std::string& message) {
  platform::PrintError("xps2img: " + message);
  return ExitCode::kFailure;
}

std::string TooLargeText(const PageTooLarge& e, int dpi) {
  return "在 " + std::to_string(dpi) + " dpi 下为 " + std::to_string(std::int64_t(e.width)) +
         " × " + std::to_string(std::int64_t(e.height)) + " 像素，超过上限（" + kPixelLimitText +
         "）";
}

// Renders `page` band by band into `writer`, as many times as the writer needs.
void Encode(BandRenderer& renderer, const PreparedPage& page, ImageWriter& writer) {
  std::int64_t rowBytes = std::int64_t{page.width()} * 3;
  int bandRows = static_cast<int>(
      std::clamp<std::int64_t>(kBandBytes / rowBytes, kMinBandRows, page.height()));
  for (int pass = 0; pass < writer.Passes(); ++pass) {
    for (int y = 0; y < page.height(); y += bandRows) {
      Band band = renderer.Render(page, y, std::min(bandRows, page.height() - y));
      writer.WriteRows(band.rows, band.stride, band.count);
    }
  }
  writer.Finish();
}

// Writes `page` into the file at `path`, which exists. Throws with the reason on failure.
void WriteImage(BandRenderer& renderer, const PreparedPage& page, const std::string& path,
                const Options& options, bool grey) {
  std::string reason;
  std::FILE* out = platform::OpenForWriting(path, reason);
  if (!out) throw std::runtime_error("无法写入临时文件" + Quote(path) + "：" + reason);
  try {
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    auto writer = NewImageWriter(options.format.format, out,
                                 {page.width(), page.height(), options.dpi, grey});
    Encode(renderer, page, *writer);
  } catch (...) {
    std::fclose(out);
    throw;
  }
  bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    throw std::runtime_error("写入临时文件" + Quote(path) + "失败（磁盘已满？）");
  }
}

// Writes one page under its temporary name and moves it to its final one. Throws with the
// reason on failure; the temporary file is then the caller's to remove.
void WritePage(BandRenderer& renderer, const PreparedPage& page, const PageFile& file,
               const Options& options) {
  auto slot = platform::AcquireRenderSlot();
  try {
    WriteImage(renderer, page, file.temporary, options, page.grey());
  } catch (const NotGrey&) {
    WriteImage(renderer, page, file.temporary, options, false);
  }
  slot.reset();
  std::string reason = platform::MoveWithoutReplacing(file.temporary, file.final);
  if (!reason.empty()) throw std::runtime_error("无法写成" + Quote(file.final) + "：" + reason);
}

struct Job {
  int index;
  std::unique_ptr<PreparedPage> page;
};

// One document's pages: the main thread loads them into display lists, workers render and
// encode them, the main thread drops the lists again.
class PageRun {
 public:
  PageRun(const Options& options, XpsDocument& document, std::vector<PageFile> files)
      : options_(options),
        document_(document),
        files_(std::move(files)),
        workers_(std::min(platform::CoreCount(), static_cast<int>(files_.size()))),
        todo_(static_cast<size_t>(workers_)) {}

  ExitCode Run(std::unique_ptr<PreparedPage> first, const std::string& firstError) {
    int count = static_cast<int>(files_.size());
    std::vector<std::unique_ptr<BandRenderer>> renderers;
    for (int i = 0; i < workers_; ++i) renderers.push_back(document_.NewRenderer());
    std::vector<std::thread> threads;
    for (auto& renderer : renderers) {
      threads.emplace_back([this, r = renderer.get()] { Work(*r); });
    }
    for (int i = 0; i < count; ++i) {
      std::unique_ptr<PreparedPage> page = i == 0 ? std::move(first) : Prepare(i);
      if (page) {
        todo_.Push({i, std::move(page)});
      } else if (i == 0) {
        Failed(0, firstError);
      }
      while (done_.TryPop()) {
      }
    }
    todo_.Close();
    for (auto& thread : threads) thread.join();
    while (done_.TryPop()) {
    }
    return Report();
  }

 private:
  std::unique_ptr<PreparedPage> Prepare(int index) {
    try {
      return document_.Prepare(index, options_.dpi, kPixelLimit);
    } catch (const PageTooLarge& e) {
      Failed(index, TooLargeText(e, options_.dpi));
    } catch (const std::exception& e) {
      Failed(index, e.what());
    }
    return nullptr;
  }

  void Work(BandRenderer& renderer) {
    while (auto job = todo_.Pop()) {
      try {
        WritePage(renderer, *job->page, files_[static_cast<size_t>(job->index)], options_);
        Written(job->index);
      } catch (const std::exception& e) {
        Failed(job->index, e.what());
      }
      done_.Push(std::move(job->page));
    }
  }

  void Written(int index) {
    std::lock_guard lock(mutex_);
    ++written_;
    platform::PrintLine("第 " + std::to_string(index + 1) + "/" + std::to_string(files_.size()) +
                        " 页 → " + files_[static_cast<size_t>(index)].final);
  }

  void Failed(int index, const std::string& reason) {
    platform::RemoveFile(files_[static_cast<size_t>(index)].temporary);
    std::lock_guard lock(mutex_);
    failures_.push_back({index, reason});
  }

  ExitCode Report() {
    if (failures_.empty()) return ExitCode::kSuccess;
    std::sort(failures_.begin(), failures_.end());
    std::string message = Quote(options_.source) + "：";
    for (size_t i = 0; i < failures_.size() && i < kListedFailures; ++i) {
      message += "第 " + std::to_string(failures_[i].first + 1) + " 页无法转换（" +
                 failures_[i].second + "）；";
    }
    if (failures_.size() > kListedFailures) {
      message += "另有 " + std::to_string(failures_.size() - kListedFailures) + " 页失败；";
    }
    message +=
        "已写入 " + std::to_string(written_) + " 页，共 " + std::to_string(files_.size()) + " 页";
    return Fail(message);
  }

  const Options& options_;
  XpsDocument& document_;
  std::vector<PageFile> files_;
  int workers_;
  BlockingQueue<Job> todo_;  // holds a display list ready for each worker
  BlockingQueue<std::unique_ptr<PreparedPage>> done_{SIZE_MAX};
  std::mutex mutex_;
  int written_ = 0;
  std::vector<std::pair<int, std::string>> failures_;
};

}  // namespace

ExitCode Convert(const Options& options) {
  std::string reason = platform::CheckReadableFile(options.source);
  if (!reason.empty()) return Fail("无法读取源文件" + Quote(options.source) + "：" + reason);
  reason = platform::CheckFolder(options.outputFolder);
  if (!reason.empty()) return Fail("输出文件夹" + Quote(options.outputFolder) + reason);

  std::unique_ptr<XpsDocument> document;
  int count = 0;
  try {
    document = XpsDocument::Open(options.source, kStoreBytes);
    count = document->PageCount();
  } catch (const RenderError& e) {
    return Fail(Quote(options.source) + "不是可读的 XPS 文档：" + e.what());
  }
  if (count == 0) return Fail(Quote(options.source) + "中没有页面");

  // The first page is checked before any name is reserved: a resolution too high for the
  // document is refused without touching the output folder.
  std::unique_ptr<PreparedPage> first;
  std::string firstError;
  try {
    first = document->Prepare(0, options.dpi, kPixelLimit);
  } catch (const PageTooLarge& e) {
    return Fail(Quote(options.source) + "的第 1 页" + TooLargeText(e, options.dpi));
  } catch (const std::exception& e) {
    firstError = e.what();
  }

  std::vector<PageFile> files =
      ReserveNames(options.outputFolder, options.stem, count, options.format, reason);
  if (files.empty()) {
    return Fail("无法在输出文件夹" + Quote(options.outputFolder) + "中创建文件：" + reason);
  }
  return PageRun(options, *document, std::move(files)).Run(std::move(first), firstError);
}
