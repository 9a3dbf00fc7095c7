#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "xps2img/engine/guard.h"

// libjpeg prints its warnings ("Corrupt JPEG data: ...") on standard error, and MuPDF leaves
// that as it is. MuPDF makes its error managers inside its own functions, out of our reach, so
// the link wraps jpeg_std_error, and their warnings are collected with the page's other losses
// instead. The wrap reaches every caller in the link (libjpeg is a shared library on Linux):
// other users of libjpeg set their own message handlers after the call, as the encoder does.

namespace {

void OnJpegMessage(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  info->err->format_message(info, message);
  ReportMupdfWarning(message);
}

}  // namespace

extern "C" jpeg_error_mgr* __real_jpeg_std_error(jpeg_error_mgr* errors);
extern "C" jpeg_error_mgr* __wrap_jpeg_std_error(jpeg_error_mgr* errors) {
  __real_jpeg_std_error(errors)->output_message = OnJpegMessage;
  return errors;
}
