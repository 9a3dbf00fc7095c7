#include "xps2img/engine/image_size.h"

namespace {

// A device that meets the list's images before anything decodes them, and stops at the first
// that declares more than `maxPixels` pixels.
struct ImageSizeCheck {
  fz_device super;
  double maxPixels;
  int width, height;  // of that image, or 0
};

void CheckImage(fz_context* ctx, fz_device* device, fz_image* image) {
  auto* check = reinterpret_cast<ImageSizeCheck*>(device);
#ifdef FZ_HAS_IMAGE_SOURCE
  // A crop is decoded from its whole image: that one's size counts.
  image = fz_image_source(ctx, image);
#endif
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

}  // namespace

bool FindHugeImage(fz_context* ctx, fz_display_list* list, double maxPixels, HugeImage* huge,
                   fz_cookie* cookie) {
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
    huge->width = check->width;
    huge->height = check->height;
  }
  fz_always(ctx) { fz_drop_device(ctx, reinterpret_cast<fz_device*>(check)); }
  fz_catch(ctx) { ok = false; }
  return ok;
}
