#pragma once

#include <atomic>
#include <mutex>

#include "xps2img/engine/messages.h"

// Lets another thread cut a page's work short. After Stop(), the engine's calls for the page end
// soon with PageStopped: MuPDF's cookie aborts between the page's elements, and its further
// allocations fail, which ends work inside one element too.
class PageStop {
 public:
  void Stop();  // any thread
  bool stopped() const { return stopped_; }
  const std::atomic<bool>& flag() const { return stopped_; }

  // For the engine: the abort flag of the MuPDF call now running for the page, or nullptr,
  // and what that call does.
  void Attach(int* abort, const char* stage);
  // What the page's work was doing when last seen, for the messages (stage::kLoading, ...).
  const char* stage() const { return stage_; }

 private:
  std::mutex mutex_;
  std::atomic<bool> stopped_{false};
  int* abort_ = nullptr;
  std::atomic<const char*> stage_{stage::kWorking};
};
