#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "xps2img/writers/image_writer.h"

namespace {

// Quality 92 keeps small text crisp; 4:2:0 chroma costs text nothing, which is mostly luma.
constexpr int kQuality = 92;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  info->err->format_message(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// libjpeg warns while compressing only when misused (too many rows, say), and goes on with the
// same file: nothing to report. Set after jpeg_std_error, which the engine's link wraps to send
// MuPDF's messages to the page's losses: the encoder's are its own.
void OnWarning(j_common_ptr) {}

// libjpeg reports errors by longjmp: each call into it sits in a small function that holds
// no C++ object, and returns false on error.
bool Start(jpeg_compress_struct* c, ErrorManager* errors, std::FILE* file,
           const ImageShape& shape) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_compress(c);
  jpeg_stdio_dest(c, file);
  c->image_width = static_cast<JDIMENSION>(shape.width);
  c->image_height = static_cast<JDIMENSION>(shape.height);
  c->input_components = shape.grey ? 1 : 3;
  c->in_color_space = shape.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(c);
  jpeg_set_quality(c, kQuality, TRUE);
  c->density_unit = 1;  // dots per inch
  c->X_density = static_cast<UINT16>(shape.dpi > 65535 ? 65535 : shape.dpi);
  c->Y_density = c->X_density;
  c->dct_method = JDCT_ISLOW;
  jpeg_start_compress(c, TRUE);
  return true;
}

bool Write(jpeg_compress_struct* c, ErrorManager* errors, JSAMPROW* rows, int count) {
  if (setjmp(errors->jump)) return false;
  jpeg_write_scanlines(c, rows, static_cast<JDIMENSION>(count));
  return true;
}

bool End(jpeg_compress_struct* c, ErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_finish_compress(c);
  return true;
}

class JpegWriter : public ImageWriter {
 public:
  JpegWriter(std::FILE* file, const ImageShape& shape) {
    c_.err = jpeg_std_error(&errors_.base);
    errors_.base.error_exit = OnError;
    errors_.base.output_message = OnWarning;
    if (!Start(&c_, &errors_, file, shape)) Fail();
  }
  ~JpegWriter() override { jpeg_destroy_compress(&c_); }

  void WriteRows(const std::uint8_t* rows, std::ptrdiff_t stride, int count) override {
    for (int done = 0; done < count;) {
      JSAMPROW pointers[64];
      int n = count - done < 64 ? count - done : 64;
      for (int i = 0; i < n; ++i) pointers[i] = const_cast<JSAMPROW>(rows + (done + i) * stride);
      if (!Write(&c_, &errors_, pointers, n)) Fail();
      done += n;
    }
  }

  void Finish() override {
    if (!End(&c_, &errors_)) Fail();
  }

 private:
  [[noreturn]] void Fail() { throw EncodeError(errors_.message); }

  jpeg_compress_struct c_{};
  ErrorManager errors_{};
};

}  // namespace

std::unique_ptr<ImageWriter> NewJpegWriter(std::FILE* file, const ImageShape& shape) {
  return std::make_unique<JpegWriter>(file, shape);
}
