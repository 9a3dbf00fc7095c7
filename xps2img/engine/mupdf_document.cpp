#include <mupdf/fitz.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "xps2img/engine/context.h"
#include "xps2img/engine/engine.h"
#include "xps2img/engine/guard.h"
#include "xps2img/engine/image_size.h"
#include "xps2img/engine/mupdf_memory.h"
#include "xps2img/engine/stages.h"

// The document, its pages and the renderer: each of their stages runs one of MuPDF's C-style
// stage functions through a GuardedScope.

namespace {

struct DropContext {
  void operator()(fz_context* ctx) const { fz_drop_context(ctx); }
};

// Where a page's pixels lie at a resolution, worked out once when the page is loaded.
struct Geometry {
  fz_rect bounds;  // in points
  int dpi;
  fz_matrix ctm;  // points to pixels
  fz_irect box;   // the pixels, rounded outward as mutool draw does
};

class MupdfPage : public PreparedPage {
 public:
  // `list` is dropped with the process's base context, not its document's: a document given
  // up on may still be in use on a thread of its own.
  MupdfPage(fz_display_list* list, const Geometry& geometry, bool grey)
      : list_(list), geometry_(geometry), grey_(grey) {}
  ~MupdfPage() override { fz_drop_display_list(SharedMupdfContext(), list_); }

  int width() const override { return geometry_.box.x1 - geometry_.box.x0; }
  int height() const override { return geometry_.box.y1 - geometry_.box.y0; }
  int dpi() const override { return geometry_.dpi; }
  bool grey() const override { return grey_; }

  fz_display_list* list() const { return list_; }
  fz_matrix ctm() const { return geometry_.ctm; }
  fz_irect box() const { return geometry_.box; }

 private:
  fz_display_list* list_;
  Geometry geometry_;
  bool grey_;
};

class MupdfRenderer : public BandRenderer {
 public:
  explicit MupdfRenderer(fz_context* ctx) : ctx_(ctx), pixmap_(nullptr, {ctx}) {
    ListenToMupdf(ctx_);
  }
  ~MupdfRenderer() override {
    pixmap_.reset();
    fz_drop_context(ctx_);
  }

  Band Render(const PreparedPage& prepared, int first, int count, PageStop* stop,
              PageLosses* losses) override {
    const auto& page = static_cast<const MupdfPage&>(prepared);
    GuardedScope scope(ctx_, stop, losses, stage::kDrawing);
    fz_irect box = page.box();
    int width = box.x1 - box.x0;
    // One band pixmap serves every band of a page: only its position and height change.
    if (!pixmap_ || pixmap_->w != width || capacity_ < count) {
      pixmap_.reset();
      capacity_ = 0;
      pixmap_ = scope.Run(stage::kAllocatingBand, [&] {
        return OwnedPixmap(NewBandPixmap(ctx_, {box.x0, box.y0, box.x1, box.y0 + count}), {ctx_});
      });
      capacity_ = count;
    }
    pixmap_->x = box.x0;
    pixmap_->y = box.y0 + first;
    pixmap_->h = count;
    scope.Run(
        [&] { return DrawBand(ctx_, page.list(), page.ctm(), pixmap_.get(), scope.cookie()); });
    return {pixmap_->samples, pixmap_->stride, count};
  }

  void RenderInto(const PreparedPage& prepared, int first, int count, std::uint8_t* rows,
                  std::ptrdiff_t stride, PageStop* stop, PageLosses* losses) override {
    const auto& page = static_cast<const MupdfPage&>(prepared);
    if (stride > INT_MAX) throw RenderError("row too long");
    GuardedScope scope(ctx_, stop, losses, stage::kDrawing);
    fz_irect box = page.box();
    box.y0 += first;
    box.y1 = box.y0 + count;
    OwnedPixmap pixmap = scope.Run(stage::kAllocatingBand, [&] {
      return OwnedPixmap(NewPixmapOver(ctx_, box, rows, static_cast<int>(stride)), {ctx_});
    });
    scope.Run(
        [&] { return DrawBand(ctx_, page.list(), page.ctm(), pixmap.get(), scope.cookie()); });
  }

 private:
  fz_context* ctx_;
  OwnedPixmap pixmap_;
  int capacity_ = 0;
};

class MupdfDocument : public XpsDocument {
 public:
  MupdfDocument(fz_context* ctx, OwnedDocument doc)
      : ctx_(ctx), doc_(std::move(doc)), checked_(nullptr, {ctx}) {}
  ~MupdfDocument() override {
    checked_.reset();
    doc_.reset();
    fz_drop_context(ctx_);
  }

  int PageCount(PageStop* stop) override {
    GuardedScope scope(ctx_, stop, nullptr, stage::kCounting);
    return *scope.Run([&]() -> std::optional<int> {
      int count = CountPages(ctx_, doc_.get());
      if (count < 0) return std::nullopt;
      return count;
    });
  }

  // The page stays loaded for Prepare, so that it is parsed once.
  void CheckSize(int index, int dpi, const PixelLimit& limit, PageStop* stop) override {
    GuardedScope scope(ctx_, stop, nullptr, stage::kLoading);
    checked_.reset();
    checked_ = Load(index, dpi, limit, &checkedGeometry_, scope);
    checkedIndex_ = index;
  }

  std::unique_ptr<PreparedPage> Prepare(int index, int dpi, const PixelLimit& limit, PageStop* stop,
                                        PageLosses* losses) override {
    GuardedScope scope(ctx_, stop, losses, stage::kLoading);
    Geometry geometry = checkedGeometry_;
    OwnedPage page(checked_.release(), {ctx_});
    if (!page || checkedIndex_ != index || geometry.dpi != dpi) {
      page.reset();
      page = Load(index, dpi, limit, &geometry, scope);
    }
    OwnedList list = scope.Run([&] {
      return OwnedList(ListPage(ctx_, page.get(), geometry.bounds, scope.cookie()), {ctx_});
    });
    page.reset();
    HugeImage huge;
    scope.Run(
        [&] { return FindHugeImage(ctx_, list.get(), limit.maxPixels, &huge, scope.cookie()); });
    if (huge.width) throw RenderError(HugeImageText(huge.width, huge.height, limit.maxPixels));
    // MuPDF failing at this test leaves the page in colour.
    bool grey = false;
    scope.Run([&] {
      grey = ColourOf(ctx_, list.get(), scope.cookie()) == 0;
      return true;
    });
    return std::make_unique<MupdfPage>(list.release(), geometry, grey);
  }

  std::unique_ptr<BandRenderer> NewRenderer() override {
    fz_context* clone = fz_clone_context(SharedMupdfContext());
    if (!clone) throw RenderError("cannot clone the MuPDF context");
    return std::make_unique<MupdfRenderer>(clone);
  }

 private:
  // Loads a page whose pixel size at `dpi` is within `limit`, and where its pixels lie.
  OwnedPage Load(int index, int dpi, const PixelLimit& limit, Geometry* geometry,
                 GuardedScope& scope) {
    fz_rect& bounds = geometry->bounds;
    OwnedPage page =
        scope.Run([&] { return OwnedPage(LoadPage(ctx_, doc_.get(), index, &bounds), {ctx_}); });
    // A page's pixel size is its size in points at dpi / 72, rounded as mutool draw does.
    double zoom = dpi / 72.0;
    double points[2] = {static_cast<double>(bounds.x1) - bounds.x0,
                        static_cast<double>(bounds.y1) - bounds.y0};
    if (!(points[0] > 0 && points[1] > 0 && std::isfinite(points[0]) && std::isfinite(points[1])))
      throw PageSizeInvalid(points[0], points[1]);
    double width = points[0] * zoom, height = points[1] * zoom;
    if (width > limit.maxSide || height > limit.maxSide || width * height > limit.maxPixels)
      throw PageTooLarge(width, height);
    float scale = static_cast<float>(dpi) / 72.0f;
    geometry->dpi = dpi;
    geometry->ctm = fz_scale(scale, scale);
    geometry->box = fz_round_rect(fz_transform_rect(bounds, geometry->ctm));
    if (geometry->box.x1 <= geometry->box.x0 || geometry->box.y1 <= geometry->box.y0)
      throw PageSizeInvalid(points[0], points[1]);
    return page;
  }

  fz_context* ctx_;
  OwnedDocument doc_;
  OwnedPage checked_;  // the page CheckSize loaded, until Prepare takes it
  int checkedIndex_ = -1;
  Geometry checkedGeometry_{};
};

}  // namespace

namespace {

// A document that `open` opens with a context of its own, cloned from the process's.
template <typename OpenStage>
std::unique_ptr<XpsDocument> OpenDocument(std::size_t storeBytes, PageStop* stop, OpenStage open) {
  fz_context* shared = SharedMupdfContext(storeBytes);
  if (!shared) throw RenderError("cannot create the MuPDF context");
  std::unique_ptr<fz_context, DropContext> ctx(fz_clone_context(shared));
  if (!ctx) throw RenderError("cannot clone the MuPDF context");
  ListenToMupdf(ctx.get());
  GuardedScope scope(ctx.get(), stop, nullptr, stage::kOpening);
  OwnedDocument doc = scope.Run([&] { return OwnedDocument(open(ctx.get()), {ctx.get()}); });
  return std::make_unique<MupdfDocument>(ctx.release(), std::move(doc));
}

}  // namespace

std::unique_ptr<XpsDocument> XpsDocument::Open(const std::string& path, std::size_t storeBytes,
                                               PageStop* stop) {
  return OpenDocument(storeBytes, stop,
                      [&](fz_context* ctx) { return OpenXps(ctx, path.c_str()); });
}

std::unique_ptr<XpsDocument> XpsDocument::OpenBytes(const unsigned char* data, std::size_t size,
                                                    std::size_t storeBytes, PageStop* stop) {
  return OpenDocument(storeBytes, stop,
                      [&](fz_context* ctx) { return OpenXpsBytes(ctx, data, size); });
}

std::size_t XpsDocument::MemoryInUse() { return mupdf_memory::InUse(); }

void XpsDocument::SetMemoryCap(std::size_t bytes) { mupdf_memory::SetCap(bytes); }
