#pragma once

#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "xps2img/engine/engine.h"

// How long a page's work may go on after it was stopped before it is given up.
std::chrono::seconds Grace(std::chrono::seconds budget);

// A stage that went on past its budget and its grace although it was stopped: its thread was
// left inside MuPDF.
class StageGivenUp : public PageStopped {
 public:
  explicit StageGivenUp(const char* stage) : PageStopped(stage, true) {}
};

// The source document, whose MuPDF stages (opening it, counting its pages, loading a page) run
// one after another on a thread of their own under the page budget, while the caller waits.
// Past the budget the stage is stopped (PageStopped); a stage that goes on past a further
// grace, in MuPDF code that nothing interrupts, is given up (StageGivenUp): its thread is left
// behind with the document it was using, and the next stage works on the document opened anew,
// on a new thread. No stage can keep the caller waiting longer than the budget and its grace.
//
// Calls come from one thread. A document that was given up on is never released: the process
// must end without destroying what MuPDF holds (abandoned()).
class GuardedDocument {
 public:
  // Opens the document, answering to the stop it is given.
  using Opener = std::function<std::unique_ptr<XpsDocument>(PageStop*)>;
  GuardedDocument(Opener open, std::chrono::seconds budget);
  ~GuardedDocument();
  GuardedDocument(const GuardedDocument&) = delete;
  GuardedDocument& operator=(const GuardedDocument&) = delete;

  // The document at `path`, opened with XpsDocument::Open.
  static Opener OpenFile(std::string path, std::size_t storeBytes);
  // The document of the `size` bytes at `data`, which must outlive every document opened.
  static Opener OpenBytes(const unsigned char* data, std::size_t size, std::size_t storeBytes);

  void Open();
  int PageCount();
  // A failure here is kept for page `index`, and Prepare throws it again without loading.
  void CheckSize(int index, int dpi, const PixelLimit& limit);
  std::unique_ptr<PreparedPage> Prepare(int index, int dpi, const PixelLimit& limit,
                                        PageLosses* losses);
  std::unique_ptr<BandRenderer> NewRenderer();

  // Whether a stage was given up, so that a thread is still inside MuPDF.
  bool abandoned() const { return abandoned_; }

 private:
  struct Stage;
  struct StageThread;
  // Runs `work` on the document (opened anew first if a stage was given up) on the stage
  // thread, under the budget.
  void Run(const std::function<void(XpsDocument&, PageStop*)>& work);
  void RunUnderBudget(const std::function<void(PageStop*)>& work);

  Opener open_;
  const std::chrono::seconds budget_;
  std::shared_ptr<StageThread> thread_;    // started by the first stage, replaced when given up
  std::unique_ptr<XpsDocument> document_;  // nullptr after a stage was given up with it
  XpsDocument* left_ = nullptr;            // the last document given up, never released
  bool abandoned_ = false;
  std::exception_ptr reopenFailure_;  // why the document could not be opened anew
  int checkedIndex_ = -1;
  std::exception_ptr checkFailure_;  // of page checkedIndex_
};
