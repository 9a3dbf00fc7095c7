#include "xps2img/engine/guard.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "xps2img/engine/messages.h"

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

void OnWarning(void*, const char* message) { ReportMupdfWarning(message); }

}  // namespace

void ListenToMupdf(fz_context* ctx) {
  fz_set_warning_callback(ctx, OnWarning, nullptr);
  fz_set_error_callback(ctx, OnError, nullptr);
}

void ReportMupdfWarning(const char* message) {
  if (!pageLosses) return;
  std::string loss = LossText(message, lastError.view());
  lastError.clear();
  if (!loss.empty()) pageLosses->Add(loss);
}

GuardedScope::GuardedScope(fz_context* ctx, PageStop* stop, PageLosses* losses, const char* stage)
    : ctx_(ctx), stop_(stop), stage_(stage) {
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

GuardedScope::~GuardedScope() {
  fz_flush_warnings(ctx_);
  pageLosses = nullptr;
  if (!stop_) return;
  mupdf_memory::FailAllocationsWhen(nullptr);
  stop_->Attach(nullptr, stop_->stage());
}

void GuardedScope::Check(const char* stage, bool succeeded) const {
  std::size_t refused = mupdf_memory::TakeRefused();
  bool stopped = stop_ && stop_->stopped();
  if (succeeded && !refused && !stopped && zipBomb.empty()) return;
  if (stopped) throw PageStopped(stage);
  if (!zipBomb.empty()) throw RenderError(ZipBombText(zipBomb.view()));
  if (refused) throw OutOfMemory(OutOfMemoryText(stage, refused, mupdf_memory::Cap()));
  std::string message = fz_caught_message(ctx_);
  // MuPDF's nesting limit is that of its own error stack. A resource dictionary that names
  // itself as its source meets it too, and the error that ends the page is then a misleading
  // one about the ZIP stream that the abandoned reads left behind.
  if (nestedTooDeep) throw RenderError(NestedTooDeepText(message));
  throw RenderError(message);
}
