#pragma once

#include <mupdf/fitz.h>

#include <memory>

#include "xps2img/engine/engine.h"
#include "xps2img/engine/mupdf_memory.h"

// MuPDF reports errors by longjmp. Each of its stages runs in a small C-style function that
// holds the fz_try and no C++ object, and returns its result: null, false or empty when MuPDF
// failed. A GuardedScope runs such a function and turns a failure into one typed exception.

// MuPDF's messages on `ctx` go to the guard: warnings to the page's losses, errors to the failure.
void ListenToMupdf(fz_context* ctx);

// A warning from MuPDF's work on this thread: one of the page's losses, when a page is at hand.
void ReportMupdfWarning(const char* message);

// MuPDF's objects, dropped with the context that made them.
template <typename T, void (*Drop)(fz_context*, T*)>
struct DropWith {
  fz_context* ctx;
  void operator()(T* object) const { Drop(ctx, object); }
};
using OwnedDocument = std::unique_ptr<fz_document, DropWith<fz_document, fz_drop_document>>;
using OwnedPage = std::unique_ptr<fz_page, DropWith<fz_page, fz_drop_page>>;
using OwnedList = std::unique_ptr<fz_display_list, DropWith<fz_display_list, fz_drop_display_list>>;
using OwnedPixmap = std::unique_ptr<fz_pixmap, DropWith<fz_pixmap, fz_drop_pixmap>>;

// While it lives, MuPDF's work on this thread (with `ctx`) is `stage` of one page: its warnings
// go to `losses` and it answers to `stop`, each when given: its cookie aborts and its
// allocations fail once the page is stopped.
class GuardedScope {
 public:
  GuardedScope(fz_context* ctx, PageStop* stop, PageLosses* losses, const char* stage);
  ~GuardedScope();
  GuardedScope(const GuardedScope&) = delete;
  GuardedScope& operator=(const GuardedScope&) = delete;

  fz_cookie* cookie() { return stop_ ? &cookie_ : nullptr; }

  // Runs `call` as this scope's stage, or as `stage`, and gives back its result. Throws
  // PageStopped when the page was stopped; RenderError when MuPDF refused a ZIP bomb or met its
  // nesting limit; OutOfMemory when MuPDF was refused memory on the way (it goes on past many
  // failures, so a refusal counts even when the call succeeded); else, when the call failed,
  // RenderError with MuPDF's message.
  template <typename Call>
  auto Run(const char* stage, Call call) {
    mupdf_memory::TakeRefused();
    auto result = call();
    Check(stage, static_cast<bool>(result));
    return result;
  }
  template <typename Call>
  auto Run(Call call) {
    return Run(stage_, call);
  }

 private:
  void Check(const char* stage, bool succeeded) const;

  fz_context* ctx_;
  PageStop* stop_;
  const char* stage_;
  fz_cookie cookie_{};
};
