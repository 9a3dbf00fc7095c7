#include "fuzz/document_drive.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "xps2img/conversion/converter.h"
#include "xps2img/conversion/guarded_document.h"
#include "xps2img/conversion/page_output.h"
#include "xps2img/conversion/watchdog.h"
#include "xps2img/writers/image_writer.h"

namespace {

struct Format {
  ImageFormat format;
  const char* name;
  // What every file of the format starts with; TIFF is either byte order.
  std::array<std::string_view, 2> signatures;
};

constexpr std::array<Format, 5> kFormats{{
    {ImageFormat::kPng, "png", {std::string_view("\x89PNG\r\n\x1a\n", 8), {}}},
    {ImageFormat::kJpeg, "jpeg", {std::string_view("\xff\xd8\xff", 3), {}}},
    {ImageFormat::kTiff, "tiff", {std::string_view("II*\0", 4), std::string_view("MM\0*", 4)}},
    {ImageFormat::kBmp, "bmp", {"BM", {}}},
    {ImageFormat::kGif, "gif", {"GIF8", {}}},
}};

// A file in memory, open for writing until Close.
class MemoryFile {
 public:
  MemoryFile() : file_(open_memstream(&data_, &size_)) {
    if (!file_) throw std::bad_alloc();
  }
  ~MemoryFile() {
    if (file_) std::fclose(file_);
    std::free(data_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  std::FILE* file() { return file_; }
  std::string_view Close() {
    std::fclose(std::exchange(file_, nullptr));
    return {data_, size_};
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

// Encodes `page` as `format` into memory, as the converter writes it into a file: in grey where
// the page and the format allow, and in colour when the page turns out to have colour after
// all. The image's bytes are checked against the format's signature.
void EncodeInMemory(BandRenderer& renderer, const PreparedPage& page, const Format& format,
                    PageStop* stop, PageLosses* losses, DriveResult* result) {
  bool grey = page.grey() && StoresGrey(format.format);
  for (;;) {
    MemoryFile out;
    auto writer =
        NewImageWriter(format.format, out.file(), {page.width(), page.height(), page.dpi(), grey});
    bool written = EncodePage(renderer, page, *writer, grey, stop, losses);
    writer.reset();
    std::string_view image = out.Close();
    if (!written) {
      grey = false;
      continue;
    }
    bool wellFormed =
        std::any_of(format.signatures.begin(), format.signatures.end(),
                    [&](std::string_view s) { return !s.empty() && image.starts_with(s); });
    if (!wellFormed) result->malformed.push_back(format.name);
    ++result->images;
    return;
  }
}

void DrivePage(GuardedDocument& document, BandRenderer& renderer, int index, DriveResult* result) {
  static Watchdog watchdog;
  std::string page = "page " + std::to_string(index + 1);
  auto start = Watchdog::Clock::now();
  PageLosses losses;
  std::unique_ptr<PreparedPage> prepared;
  try {
    prepared = document.Prepare(index, result->dpi, kDrivePixelLimit, &losses);
  } catch (const std::exception& e) {
    result->failures.push_back(page + ": " + e.what());
    return;
  }
  // Every image of the page is drawn within what is left of the page's budget.
  PageStop stop;
  Watched deadline(watchdog, start + DriveBudget(), [&stop] { stop.Stop(); });
  for (const Format& format : kFormats) {
    try {
      EncodeInMemory(renderer, *prepared, format, &stop, &losses, result);
    } catch (const std::exception& e) {
      result->failures.push_back(page + " " + format.name + ": " + e.what());
    }
  }
}

}  // namespace

std::chrono::seconds DriveBudget() {
  static const std::chrono::seconds budget = [] {
    const char* text = std::getenv("FUZZ_BUDGET_SECONDS");
    int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? std::chrono::seconds(seconds) : kDriveBudget;
  }();
  return budget;
}

int DriveDpi(std::size_t size) {
  return kLowestDpi + static_cast<int>(size % (kHighestDpi - kLowestDpi + 1));
}

DriveResult DriveDocument(const std::uint8_t* data, std::size_t size) {
  XpsDocument::SetMemoryCap(kDriveMemoryCap);
  DriveResult result;
  result.dpi = DriveDpi(size);
  auto document = std::make_unique<GuardedDocument>(
      GuardedDocument::OpenBytes(data, size, kMupdfStoreBytes), DriveBudget());
  try {
    document->Open();
    result.pageCount = document->PageCount();
    // As the converter does: the first page's size is checked before anything is drawn, and a
    // failure there is the first page's.
    try {
      if (result.pageCount > 0) document->CheckSize(0, result.dpi, kDrivePixelLimit);
    } catch (const RenderError&) {
    }
    std::unique_ptr<BandRenderer> renderer = document->NewRenderer();
    for (int i = 0; i < std::min(result.pageCount, kDrivenPages); ++i) {
      DrivePage(*document, *renderer, i, &result);
    }
  } catch (const std::exception& e) {
    result.failures.push_back(std::string("document: ") + e.what());
  }
  result.abandoned = document->abandoned();
  // A thread left inside MuPDF may still use the document: it is never released.
  if (result.abandoned) static_cast<void>(document.release());
  return result;
}

std::string DriveFault(const DriveResult& result) {
  if (result.abandoned) return "a stage went on past its budget and grace although stopped";
  if (!result.malformed.empty()) return "a " + result.malformed.front() + " image is malformed";
  for (const std::string& failure : result.failures) {
    if (failure.ends_with(": ")) return "a failure without a reason: " + failure;
  }
  if (result.pageCount < 0 && result.failures.empty())
    return "the document neither opened nor failed";
  return {};
}
