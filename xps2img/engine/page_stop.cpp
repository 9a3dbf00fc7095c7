#include "xps2img/engine/page_stop.h"

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
