#include <mupdf/fitz.h>

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "xps2img/engine.h"
#include "xps2img/loss_text.h"
#include "xps2img/mupdf_memory.h"

// MuPDF reports errors by longjmp: every fz_try sits in a small C-style function below that
// holds no C++ object and returns a status; the classes turn a failed status into RenderError.

namespace {

// One of MuPDF's messages, which fit its own buffer of 256 bytes. A plain array: a thread_local
// with a destructor can corrupt the heap when its thread ends with mingw-w64's thread support.
struct MessageText {
  std::array<char, 256> text{};

  void operator=(const char* message) { std::snprintf(text.data(), text.size(), "%s", message); }
  void clear() { text[0] = '\0'; }
  bool empty() const { return text[0] == '\0'; }
  std::string_view view() const { return text.data(); }
};

// What MuPDF reports on this thread is about the page being worked on here, if any.
thread_local PageLosses* pageLosses = nullptr;
thread_local MessageText lastError;
// MuPDF's error stack overflowed during this thread's page: its nesting limit was met.
thread_local bool nestedTooDeep = false;
// A part of this thread's page that MuPDF refused to inflate (see the ZIP patch): its error.
thread_local MessageText zipBomb;

void OnError(void*, const char* message) {
  lastError = message;
  std::string_view text(message);
  if (text.find("exception stack overflow") != std::string_view::npos) nestedTooDeep = true;
  if (text.starts_with("zip bomb refused")) zipBomb = message;
}

void OnWarning(void*, const char* message) {
  if (!pageLosses) return;
  std::string loss = LossText(message, lastError.view());
  lastError.clear();
  if (!loss.empty()) pageLosses->Add(loss);
}

fz_document* OpenXps(fz_context* ctx, const char* path) {
  fz_stream* stream = nullptr;
  fz_document* doc = nullptr;
  fz_var(stream);
  fz_var(doc);
  fz_try(ctx) {
    stream = fz_open_file(ctx, path);
    // Named by type, not by file name: whatever the file is called, only XPS is accepted.
    doc = fz_open_document_with_stream(ctx, "application/vnd.ms-xpsdocument", stream);
  }
  fz_always(ctx) { fz_drop_stream(ctx, stream); }
  fz_catch(ctx) { doc = nullptr; }
  return doc;
}

int CountPages(fz_context* ctx, fz_document* doc) {
  int count = -1;
  fz_var(count);
  fz_try(ctx) { count = fz_count_pages(ctx, doc); }
  fz_catch(ctx) { count = -1; }
  return count;
}

bool BoundPage(fz_context* ctx, fz_document* doc, int index, fz_page** page, fz_rect* bounds) {
  bool ok = true;
  fz_var(ok);
  fz_try(ctx) {
    *page = fz_load_page(ctx, doc, index);
    *bounds = fz_bound_page(ctx, *page);
  }
  fz_catch(ctx) { ok = false; }
  return ok;
}

// Records the page into a display list.
fz_display_list* ListPage(fz_context* ctx, fz_page* page, fz_rect bounds, fz_cookie* cookie) {
  fz_display_list* list = nullptr;
  fz_device* recorder = nullptr;
  fz_var(list);
  fz_var(recorder);
  fz_try(ctx) {
    list = fz_new_display_list(ctx, bounds);
    recorder = fz_new_list_device(ctx, list);
    fz_run_page(ctx, page, recorder, fz_identity, cookie);
    fz_close_device(ctx, recorder);
  }
  fz_always(ctx) { fz_drop_device(ctx, recorder); }
  fz_catch(ctx) {
    fz_drop_display_list(ctx, list);
    list = nullptr;
  }
  return list;
}

// A device that meets the list's images before anything decodes them, and stops at the first
// that declares more than `maxPixels` pixels.
struct ImageSizeCheck {
  fz_device super;
  double maxPixels;
  int width, height;  // of that image, or 0
};

void CheckImage(fz_context* ctx, fz_device* device, fz_image* image) {
  auto* check = reinterpret_cast<ImageSizeCheck*>(device);
  if (static_cast<double>(image->w) * image->h <= check->maxPixels) return;
  check->width = image->w;
  check->height = image->h;
  fz_throw(ctx, FZ_ERROR_ABORT, "image too large");
}
void CheckFilledImage(fz_context* ctx, fz_device* device, fz_image* image, fz_matrix, float,
                      fz_color_params) {
  CheckImage(ctx, device, image);
}
void CheckImageMask(fz_context* ctx, fz_device* device, fz_image* image, fz_matrix, fz_colorspace*,
                    const float*, float, fz_color_params) {
  CheckImage(ctx, device, image);
}
void CheckClipMask(fz_context* ctx, fz_device* device, fz_image* image, fz_matrix, fz_rect) {
  CheckImage(ctx, device, image);
}

// Finds an image on `list` that declares more than `maxPixels` pixels; false if MuPDF failed.
bool FindHugeImage(fz_context* ctx, fz_display_list* list, double maxPixels, int* width,
                   int* height, fz_cookie* cookie) {
  ImageSizeCheck* check = nullptr;
  bool ok = true;
  fz_var(check);
  fz_var(ok);
  fz_try(ctx) {
    check = fz_new_derived_device(ctx, ImageSizeCheck);
    check->super.fill_image = CheckFilledImage;
    check->super.fill_image_mask = CheckImageMask;
    check->super.clip_image_mask = CheckClipMask;
    check->maxPixels = maxPixels;
    fz_run_display_list(ctx, list, &check->super, fz_identity, fz_infinite_rect, cookie);
    fz_close_device(ctx, &check->super);
    *width = check->width;
    *height = check->height;
  }
  fz_always(ctx) { fz_drop_device(ctx, reinterpret_cast<fz_device*>(check)); }
  fz_catch(ctx) { ok = false; }
  return ok;
}

// Whether the list draws anything in colour (images by their pixels): 0 when it is all grey.
int ColourOf(fz_context* ctx, fz_display_list* list, fz_cookie* cookie) {
  int colour = 2;
  fz_device* test = nullptr;
  fz_var(colour);
  fz_var(test);
  fz_try(ctx) {
    // Without a device to pass on to, the test stops the list at the first colour it meets.
    test = fz_new_test_device(ctx, &colour, 0.0f, FZ_TEST_OPT_IMAGES, nullptr);
    fz_run_display_list(ctx, list, test, fz_identity, fz_infinite_rect, cookie);
    fz_close_device(ctx, test);
  }
  fz_always(ctx) { fz_drop_device(ctx, test); }
  fz_catch(ctx) { colour = 2; }
  return colour;
}

fz_pixmap* NewBandPixmap(fz_context* ctx, fz_irect box) {
  fz_pixmap* pixmap = nullptr;
  fz_var(pixmap);
  fz_try(ctx) { pixmap = fz_new_pixmap_with_bbox(ctx, fz_device_rgb(ctx), box, nullptr, 0); }
  fz_catch(ctx) { pixmap = nullptr; }
  return pixmap;
}

// Renders the part of `list` that falls on `pixmap`, whose position says which band it is.
bool DrawBand(fz_context* ctx, fz_display_list* list, fz_matrix ctm, fz_pixmap* pixmap,
              fz_cookie* cookie) {
  fz_device* device = nullptr;
  bool ok = true;
  fz_var(device);
  fz_var(ok);
  fz_try(ctx) {
    fz_clear_pixmap_with_value(ctx, pixmap, 255);
    device = fz_new_draw_device(ctx, fz_identity, pixmap);
    fz_run_display_list(ctx, list, device, ctm, fz_rect_from_irect(fz_pixmap_bbox(ctx, pixmap)),
                        cookie);
    fz_close_device(ctx, device);
  }
  fz_always(ctx) { fz_drop_device(ctx, device); }
  fz_catch(ctx) { ok = false; }
  return ok;
}

std::string Megabytes(std::size_t bytes) {
  return std::to_string((bytes + (std::size_t{1} << 20) - 1) >> 20) + " MB";
}

// Why `stage` failed when MuPDF was refused `refused` bytes.
std::string MemoryText(const char* stage, std::size_t refused) {
  return std::string("内存不足：") + stage + "时还需 " + Megabytes(refused) + "，超过本转换器 " +
         Megabytes(mupdf_memory::Cap()) + " 的上限（--memory-mb）";
}

std::string Message(fz_context* ctx) { return fz_caught_message(ctx); }

// libjpeg prints its warnings ("Corrupt JPEG data: ...") on standard error, and MuPDF leaves
// that as it is. The link wraps jpeg_std_error, which makes every libjpeg error manager, so
// that they are collected with the page's other losses instead.
void OnJpegMessage(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  info->err->format_message(info, message);
  OnWarning(nullptr, message);
}

// MuPDF's messages are collected for the page at hand, not printed.
void Listen(fz_context* ctx) {
  fz_set_warning_callback(ctx, OnWarning, nullptr);
  fz_set_error_callback(ctx, OnError, nullptr);
}

// While it lives, MuPDF's work on this thread (with `ctx`) is `stage` of one page: its warnings
// go to `losses` and it answers to `stop`, each when given: its cookie aborts and its
// allocations fail once the page is stopped.
class PageScope {
 public:
  PageScope(fz_context* ctx, PageStop* stop, PageLosses* losses, const char* stage)
      : ctx_(ctx), stop_(stop) {
    // MuPDF passes on a warning only when it differs from the one before: start afresh.
    fz_flush_warnings(ctx_);
    lastError.clear();
    nestedTooDeep = false;
    zipBomb.clear();
    pageLosses = losses;
    if (!stop_) return;
    stop_->Attach(&cookie_.abort, stage);
    mupdf_memory::FailAllocationsWhen(&stop_->flag());
  }
  ~PageScope() {
    fz_flush_warnings(ctx_);
    pageLosses = nullptr;
    if (!stop_) return;
    mupdf_memory::FailAllocationsWhen(nullptr);
    stop_->Attach(nullptr, stop_->stage());
  }
  PageScope(const PageScope&) = delete;
  PageScope& operator=(const PageScope&) = delete;

  fz_cookie* cookie() { return stop_ ? &cookie_ : nullptr; }
  bool stopped() const { return stop_ && stop_->stopped(); }

 private:
  fz_context* ctx_;
  PageStop* stop_;
  fz_cookie cookie_{};
};

// The failure of `stage`: stopped when it was asked to stop; out of memory when MuPDF was
// refused `refused` bytes on the way (it goes on past many failures, so a refusal counts even
// when the call succeeded); else MuPDF's error.
[[noreturn]] void Fail(fz_context* ctx, const PageScope& scope, std::size_t refused,
                       const char* stage) {
  if (scope.stopped()) throw PageStopped(stage);
  if (!zipBomb.empty())
    throw RenderError("部件解压后过大，疑为压缩炸弹，拒绝读取（" + std::string(zipBomb.view()) +
                      "）");
  if (refused) throw OutOfMemory(MemoryText(stage, refused));
  std::string message = Message(ctx);
  // MuPDF's nesting limit is that of its own error stack. A resource dictionary that names
  // itself as its source meets it too, and the error that ends the page is then a misleading
  // one about the ZIP stream that the abandoned reads left behind.
  if (nestedTooDeep) throw RenderError("页面元素嵌套过深或资源字典引用自身（" + message + "）");
  throw RenderError(message);
}

// MuPDF's lock callbacks, shared by every context of the process.
std::array<std::mutex, FZ_LOCK_MAX> locks;

void Lock(void*, int lock) { locks[static_cast<size_t>(lock)].lock(); }
void Unlock(void*, int lock) { locks[static_cast<size_t>(lock)].unlock(); }

fz_context* base = nullptr;

// The process's one top-level MuPDF context (Little CMS allows no second), which owns the
// store of `storeBytes`. Each document and each renderer works with a clone of it; itself, it
// only clones and drops display lists, and lives as long as the process.
fz_context* NewBaseContext(std::size_t storeBytes) {
  static const fz_locks_context lockContext{nullptr, Lock, Unlock};
  base = fz_new_context(mupdf_memory::Allocator(), &lockContext, storeBytes);
  if (!base) return nullptr;
  Listen(base);
  fz_register_document_handlers(base);
  return base;
}

fz_context* BaseContext() { return base; }

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
  ~MupdfPage() override { fz_drop_display_list(BaseContext(), list_); }

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
  explicit MupdfRenderer(fz_context* ctx) : ctx_(ctx) { Listen(ctx_); }
  ~MupdfRenderer() override {
    fz_drop_pixmap(ctx_, pixmap_);
    fz_drop_context(ctx_);
  }

  Band Render(const PreparedPage& prepared, int first, int count, PageStop* stop,
              PageLosses* losses) override {
    const auto& page = static_cast<const MupdfPage&>(prepared);
    PageScope scope(ctx_, stop, losses, "绘制页面");
    fz_irect box = page.box();
    int width = box.x1 - box.x0;
    // One band pixmap serves every band of a page: only its position and height change.
    mupdf_memory::TakeRefused();
    if (!pixmap_ || pixmap_->w != width || capacity_ < count) {
      fz_drop_pixmap(ctx_, pixmap_);
      pixmap_ = NewBandPixmap(ctx_, {box.x0, box.y0, box.x1, box.y0 + count});
      capacity_ = pixmap_ ? count : 0;
      if (!pixmap_) Fail(ctx_, scope, mupdf_memory::TakeRefused(), "分配页带");
    }
    pixmap_->x = box.x0;
    pixmap_->y = box.y0 + first;
    pixmap_->h = count;
    bool drawn = DrawBand(ctx_, page.list(), page.ctm(), pixmap_, scope.cookie());
    std::size_t refused = mupdf_memory::TakeRefused();
    if (!drawn || refused || scope.stopped()) Fail(ctx_, scope, refused, "绘制页面");
    return {pixmap_->samples, pixmap_->stride, count};
  }

 private:
  fz_context* ctx_;
  fz_pixmap* pixmap_ = nullptr;
  int capacity_ = 0;
};

class MupdfDocument : public XpsDocument {
 public:
  MupdfDocument(fz_context* ctx, fz_document* doc) : ctx_(ctx), doc_(doc) {}
  ~MupdfDocument() override {
    fz_drop_page(ctx_, checked_);
    fz_drop_document(ctx_, doc_);
    fz_drop_context(ctx_);
  }

  int PageCount(PageStop* stop) override {
    PageScope scope(ctx_, stop, nullptr, "统计页数");
    mupdf_memory::TakeRefused();
    int count = CountPages(ctx_, doc_);
    std::size_t refused = mupdf_memory::TakeRefused();
    if (count < 0 || refused || scope.stopped()) Fail(ctx_, scope, refused, "统计页数");
    return count;
  }

  // The page stays loaded for Prepare, so that it is parsed once.
  void CheckSize(int index, int dpi, const PixelLimit& limit, PageStop* stop) override {
    PageScope scope(ctx_, stop, nullptr, "读取页面");
    fz_drop_page(ctx_, checked_);
    checked_ = nullptr;
    checked_ = Load(index, dpi, limit, &checkedGeometry_, scope);
    checkedIndex_ = index;
  }

  std::unique_ptr<PreparedPage> Prepare(int index, int dpi, const PixelLimit& limit, PageStop* stop,
                                        PageLosses* losses) override {
    PageScope scope(ctx_, stop, losses, "读取页面");
    Geometry geometry = checkedGeometry_;
    fz_page* page = checked_;
    checked_ = nullptr;
    if (!page || checkedIndex_ != index || geometry.dpi != dpi) {
      fz_drop_page(ctx_, page);
      page = Load(index, dpi, limit, &geometry, scope);
    }
    fz_display_list* list = ListPage(ctx_, page, geometry.bounds, scope.cookie());
    fz_drop_page(ctx_, page);
    int imageWidth = 0, imageHeight = 0;
    bool listed = list && FindHugeImage(ctx_, list, limit.maxPixels, &imageWidth, &imageHeight,
                                        scope.cookie());
    std::size_t refused = mupdf_memory::TakeRefused();
    if (!listed || refused || scope.stopped() || !zipBomb.empty()) {
      fz_drop_display_list(ctx_, list);
      Fail(ctx_, scope, refused, "读取页面");
    }
    if (imageWidth) {
      fz_drop_display_list(ctx_, list);
      throw RenderError("图像过大：声明 " + std::to_string(imageWidth) + " × " +
                        std::to_string(imageHeight) + " 像素，超过上限（共最多 " +
                        std::to_string(static_cast<long long>(limit.maxPixels / 1e4)) +
                        " 万像素），未解码");
    }
    bool grey = ColourOf(ctx_, list, scope.cookie()) == 0;
    refused = mupdf_memory::TakeRefused();
    if (refused || scope.stopped()) {
      fz_drop_display_list(ctx_, list);
      Fail(ctx_, scope, refused, "读取页面");
    }
    return std::make_unique<MupdfPage>(list, geometry, grey);
  }

  std::unique_ptr<BandRenderer> NewRenderer() override {
    fz_context* clone = fz_clone_context(BaseContext());
    if (!clone) throw RenderError("cannot clone the MuPDF context");
    return std::make_unique<MupdfRenderer>(clone);
  }

 private:
  // Loads a page whose pixel size at `dpi` is within `limit`, and where its pixels lie.
  fz_page* Load(int index, int dpi, const PixelLimit& limit, Geometry* geometry,
                const PageScope& scope) {
    fz_page* page = nullptr;
    mupdf_memory::TakeRefused();
    fz_rect& bounds = geometry->bounds;
    bool loaded = BoundPage(ctx_, doc_, index, &page, &bounds);
    std::size_t refused = mupdf_memory::TakeRefused();
    if (!loaded || refused || scope.stopped()) {
      fz_drop_page(ctx_, page);
      Fail(ctx_, scope, refused, "读取页面");
    }
    // A page's pixel size is its size in points at dpi / 72, rounded as mutool draw does.
    double zoom = dpi / 72.0;
    double points[2] = {static_cast<double>(bounds.x1) - bounds.x0,
                        static_cast<double>(bounds.y1) - bounds.y0};
    if (!(points[0] > 0 && points[1] > 0 && std::isfinite(points[0]) && std::isfinite(points[1]))) {
      fz_drop_page(ctx_, page);
      throw PageSizeInvalid(points[0], points[1]);
    }
    double width = points[0] * zoom, height = points[1] * zoom;
    if (width > limit.maxSide || height > limit.maxSide || width * height > limit.maxPixels) {
      fz_drop_page(ctx_, page);
      throw PageTooLarge(width, height);
    }
    float scale = static_cast<float>(dpi) / 72.0f;
    geometry->dpi = dpi;
    geometry->ctm = fz_scale(scale, scale);
    geometry->box = fz_round_rect(fz_transform_rect(bounds, geometry->ctm));
    if (geometry->box.x1 <= geometry->box.x0 || geometry->box.y1 <= geometry->box.y0) {
      fz_drop_page(ctx_, page);
      throw PageSizeInvalid(points[0], points[1]);
    }
    return page;
  }

  fz_context* ctx_;
  fz_document* doc_;
  fz_page* checked_ = nullptr;  // the page CheckSize loaded, until Prepare takes it
  int checkedIndex_ = -1;
  Geometry checkedGeometry_{};
};

}  // namespace

std::unique_ptr<XpsDocument> XpsDocument::Open(const std::string& path, std::size_t storeBytes,
                                               PageStop* stop) {
  static const bool made = NewBaseContext(storeBytes) != nullptr;
  if (!made) throw RenderError("cannot create the MuPDF context");
  std::unique_ptr<fz_context, DropContext> ctx(fz_clone_context(BaseContext()));
  if (!ctx) throw RenderError("cannot clone the MuPDF context");
  Listen(ctx.get());
  PageScope scope(ctx.get(), stop, nullptr, "打开文档");
  mupdf_memory::TakeRefused();
  fz_document* doc = OpenXps(ctx.get(), path.c_str());
  std::size_t refused = mupdf_memory::TakeRefused();
  if (!doc || refused || scope.stopped()) {
    fz_drop_document(ctx.get(), doc);
    Fail(ctx.get(), scope, refused, "打开文档");
  }
  return std::make_unique<MupdfDocument>(ctx.release(), doc);
}

PageSizeInvalid::PageSizeInvalid(double width, double height)
    : RenderError([&] {
        // printf spells a size that is not a number "-nan" or "nan" by its sign bit.
        auto number = [](double n) {
          char text[32] = "NaN";
          if (!std::isnan(n)) std::snprintf(text, sizeof text, "%g", n);
          return std::string(text);
        };
        return "页面大小无效：宽 " + number(width) + " 点、高 " + number(height) + " 点";
      }()) {}

void PageStop::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  if (abort_) *abort_ = 1;
}

void PageStop::Attach(int* abort, const char* stage) {
  std::lock_guard lock(mutex_);
  abort_ = abort;
  stage_ = stage;
  if (abort_ && stopped_) *abort_ = 1;
}

std::size_t XpsDocument::MemoryInUse() { return mupdf_memory::InUse(); }

void XpsDocument::SetMemoryCap(std::size_t bytes) { mupdf_memory::SetCap(bytes); }

extern "C" jpeg_error_mgr* __real_jpeg_std_error(jpeg_error_mgr* errors);
extern "C" jpeg_error_mgr* __wrap_jpeg_std_error(jpeg_error_mgr* errors) {
  __real_jpeg_std_error(errors)->output_message = OnJpegMessage;
  return errors;
}
