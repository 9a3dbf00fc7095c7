#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "xps2img/engine/messages.h"
#include "xps2img/engine/page_stop.h"
#include "xps2img/platform/failure.h"

// XPS rendering. MuPDF stays behind this header: callers see plain C++ types.
//
// Threads: an XpsDocument and its PreparedPages are made, used and destroyed on one thread;
// each worker thread renders with a BandRenderer of its own, and several workers may render
// the same PreparedPage at once.

// A MuPDF failure; the message is MuPDF's own, or says in Chinese what was refused.
class RenderError : public Failure {
  using Failure::Failure;
};

// A page that would exceed the pixel limit at the requested resolution.
class PageTooLarge : public RenderError {
 public:
  PageTooLarge(double width, double height)
      : RenderError("page too large"), width(width), height(height) {}
  double width, height;  // pixels
};

// MuPDF needed more memory than the converter's cap allows; the message says for what.
class OutOfMemory : public RenderError {
  using RenderError::RenderError;
};

// The page's work was cut short through its PageStop during `stage` (stage::kLoading, ...).
class PageStopped : public RenderError {
 public:
  explicit PageStopped(const char* stage) : PageStopped(stage, false) {}
  const char* stage;
  bool givenUp;  // it went on past its stop, and its thread was left behind

 protected:
  PageStopped(const char* stage, bool givenUp)
      : RenderError(StoppedText(stage, givenUp)), stage(stage), givenUp(givenUp) {}
};

// What MuPDF could not draw on a page (an image it could not decode, a font it could not load,
// a part it could not find), each once, in the order met.
class PageLosses {
 public:
  void Add(const std::string& loss) {
    for (const std::string& seen : losses_) {
      if (seen == loss) return;
    }
    losses_.push_back(loss);
  }
  const std::vector<std::string>& all() const { return losses_; }

 private:
  std::vector<std::string> losses_;
};

// A page whose size is zero, negative or not a number.
class PageSizeInvalid : public RenderError {
 public:
  PageSizeInvalid(double width, double height)  // points
      : RenderError(PageSizeInvalidText(width, height)) {}
};

// Pages larger than this are refused, so that no encoder or buffer meets a size it cannot hold.
struct PixelLimit {
  double maxSide;
  double maxPixels;
};

class PreparedPage;
class BandRenderer;

class XpsDocument {
 public:
  // Opens an XPS or OpenXPS document; `storeBytes` bounds MuPDF's cache of fonts and images,
  // which every document of the process shares (the first call sets it). Throws RenderError
  // when the file is not a readable XPS document, PageStopped when `stop` is given and stopped.
  static std::unique_ptr<XpsDocument> Open(const std::string& path, std::size_t storeBytes,
                                           PageStop* stop);
  // As Open, over the `size` bytes at `data`, which must outlive the document.
  static std::unique_ptr<XpsDocument> OpenBytes(const unsigned char* data, std::size_t size,
                                                std::size_t storeBytes, PageStop* stop);
  virtual ~XpsDocument() = default;

  // The bytes MuPDF holds in this process: documents, display lists, its cache, pixmaps.
  static std::size_t MemoryInUse();
  // Caps MemoryInUse for the whole process: an allocation past it fails, and the page that
  // needed it fails with OutOfMemory.
  static void SetMemoryCap(std::size_t bytes);

  // Each call below answers to `stop`, when given, as Prepare does.
  virtual int PageCount(PageStop* stop) = 0;
  // Throws PageTooLarge when page `index` (from 0) exceeds `limit` at `dpi`, PageSizeInvalid,
  // or RenderError. The page stays loaded for Prepare.
  virtual void CheckSize(int index, int dpi, const PixelLimit& limit, PageStop* stop) = 0;
  // Loads page `index` (from 0) and records it for rendering at `dpi`; what could not be read
  // goes to `losses` when given. Throws PageTooLarge, PageSizeInvalid, OutOfMemory, PageStopped
  // (when `stop` is given and stopped) or RenderError.
  virtual std::unique_ptr<PreparedPage> Prepare(int index, int dpi, const PixelLimit& limit,
                                                PageStop* stop, PageLosses* losses) = 0;
  // A renderer for the pages of any document of the process.
  virtual std::unique_ptr<BandRenderer> NewRenderer() = 0;
};

class PreparedPage {
 public:
  virtual ~PreparedPage() = default;
  // The page's size in pixels, and the resolution it was prepared at: what its image holds.
  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual int dpi() const = 0;
  // Whether everything on the page is neutral grey, so every pixel will have r = g = b.
  virtual bool grey() const = 0;
};

// Rows of RGB pixels, 3 bytes each, owned by the renderer until its next call.
struct Band {
  const std::uint8_t* rows;
  std::ptrdiff_t stride;
  int count;
};

class BandRenderer {
 public:
  virtual ~BandRenderer() = default;
  // Renders rows [first, first + count) of `page` on white; what could not be drawn goes to
  // `losses` when given. Throws OutOfMemory, PageStopped (when `stop` is given and stopped) or
  // RenderError.
  virtual Band Render(const PreparedPage& page, int first, int count, PageStop* stop,
                      PageLosses* losses) = 0;
  // As Render, into `rows`, `stride` bytes apart, which the caller owns: no band of the
  // renderer's own is allocated, filled and copied.
  virtual void RenderInto(const PreparedPage& page, int first, int count, std::uint8_t* rows,
                          std::ptrdiff_t stride, PageStop* stop, PageLosses* losses) = 0;
};
