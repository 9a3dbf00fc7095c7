#include "xps2img/engine/stages.h"

namespace {

// Opens the stream that `open` makes as an XPS document.
template <typename OpenStream>
fz_document* OpenXpsStream(fz_context* ctx, OpenStream open) {
  fz_stream* stream = nullptr;
  fz_document* doc = nullptr;
  fz_var(stream);
  fz_var(doc);
  fz_try(ctx) {
    stream = open();
    // Named by type, not by file name: whatever the file is called, only XPS is accepted.
    doc = fz_open_document_with_stream(ctx, "application/vnd.ms-xpsdocument", stream);
  }
  fz_always(ctx) { fz_drop_stream(ctx, stream); }
  fz_catch(ctx) { doc = nullptr; }
  return doc;
}

}  // namespace

fz_document* OpenXps(fz_context* ctx, const char* path) {
  return OpenXpsStream(ctx, [&] { return fz_open_file(ctx, path); });
}

fz_document* OpenXpsBytes(fz_context* ctx, const unsigned char* data, size_t size) {
  return OpenXpsStream(ctx, [&] { return fz_open_memory(ctx, data, size); });
}

int CountPages(fz_context* ctx, fz_document* doc) {
  int count = -1;
  fz_var(count);
  fz_try(ctx) { count = fz_count_pages(ctx, doc); }
  fz_catch(ctx) { count = -1; }
  return count;
}

fz_page* LoadPage(fz_context* ctx, fz_document* doc, int index, fz_rect* bounds) {
  fz_page* page = nullptr;
  fz_var(page);
  fz_try(ctx) {
    page = fz_load_page(ctx, doc, index);
    *bounds = fz_bound_page(ctx, page);
  }
  fz_catch(ctx) {
    fz_drop_page(ctx, page);
    page = nullptr;
  }
  return page;
}

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

fz_pixmap* NewPixmapOver(fz_context* ctx, fz_irect box, unsigned char* samples, int stride) {
  fz_pixmap* pixmap = nullptr;
  fz_var(pixmap);
  fz_try(ctx) {
    pixmap = fz_new_pixmap_with_data(ctx, fz_device_rgb(ctx), box.x1 - box.x0, box.y1 - box.y0,
                                     nullptr, 0, stride, samples);
    pixmap->x = box.x0;
    pixmap->y = box.y0;
  }
  fz_catch(ctx) { pixmap = nullptr; }
  return pixmap;
}

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
