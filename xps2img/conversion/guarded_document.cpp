#include "xps2img/conversion/guarded_document.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

std::chrono::seconds Grace(std::chrono::seconds budget) {
  return std::clamp(budget / 4, std::chrono::seconds(1), std::chrono::seconds(10));
}

// What a stage's thread shares with its caller. The thread holds it too, so that a stage left
// behind still has everything it writes to.
struct GuardedDocument::Stage {
  std::function<void(PageStop*)> work;
  PageStop stop;
  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;
  std::exception_ptr failure;
};

GuardedDocument::GuardedDocument(Opener open, std::chrono::seconds budget)
    : open_(std::move(open)), budget_(budget) {}

GuardedDocument::~GuardedDocument() = default;

GuardedDocument::Opener GuardedDocument::OpenFile(std::string path, std::size_t storeBytes) {
  return [path = std::move(path), storeBytes](PageStop* stop) {
    return XpsDocument::Open(path, storeBytes, stop);
  };
}

void GuardedDocument::RunUnderBudget(const std::function<void(PageStop*)>& work) {
  auto stage = std::make_shared<Stage>();
  stage->work = work;
  std::thread thread([stage] {
    try {
      stage->work(&stage->stop);
    } catch (...) {
      stage->failure = std::current_exception();
    }
    std::lock_guard lock(stage->mutex);
    stage->finished = true;
    stage->changed.notify_all();
  });
  auto deadline = std::chrono::steady_clock::now() + budget_;
  auto finished = [&stage] { return stage->finished; };
  std::unique_lock lock(stage->mutex);
  if (!stage->changed.wait_until(lock, deadline, finished)) {
    stage->stop.Stop();
    if (!stage->changed.wait_until(lock, deadline + Grace(budget_), finished)) {
      lock.unlock();
      thread.detach();
      abandoned_ = true;
      throw StageGivenUp(stage->stop.stage());
    }
  }
  lock.unlock();
  thread.join();
  if (stage->failure) std::rethrow_exception(stage->failure);
}

void GuardedDocument::Open() {
  auto opened = std::make_shared<std::unique_ptr<XpsDocument>>();
  RunUnderBudget([opened, open = open_](PageStop* stop) { *opened = open(stop); });
  document_ = std::move(*opened);
}

void GuardedDocument::Run(const std::function<void(XpsDocument&, PageStop*)>& work) {
  if (!document_) {
    // A stage was given up with the document it used: open it anew, once.
    if (reopenFailure_) std::rethrow_exception(reopenFailure_);
    try {
      Open();
    } catch (...) {
      reopenFailure_ = std::current_exception();
      throw;
    }
  }
  XpsDocument* document = document_.get();
  try {
    RunUnderBudget([document, work](PageStop* stop) { work(*document, stop); });
  } catch (const StageGivenUp&) {
    // Its thread may still use it: it is never released.
    left_ = document_.release();
    throw;
  }
}

int GuardedDocument::PageCount() {
  auto count = std::make_shared<int>(0);
  Run([count](XpsDocument& document, PageStop* stop) { *count = document.PageCount(stop); });
  return *count;
}

void GuardedDocument::CheckSize(int index, int dpi, const PixelLimit& limit) {
  checkedIndex_ = index;
  checkFailure_ = nullptr;
  try {
    Run([index, dpi, limit](XpsDocument& document, PageStop* stop) {
      document.CheckSize(index, dpi, limit, stop);
    });
  } catch (...) {
    checkFailure_ = std::current_exception();
    throw;
  }
}

std::unique_ptr<PreparedPage> GuardedDocument::Prepare(int index, int dpi, const PixelLimit& limit,
                                                       PageLosses* losses) {
  if (index == checkedIndex_ && checkFailure_) {
    std::rethrow_exception(std::exchange(checkFailure_, nullptr));
  }
  struct Prepared {
    std::unique_ptr<PreparedPage> page;
    PageLosses losses;
  };
  auto prepared = std::make_shared<Prepared>();
  Run([prepared, index, dpi, limit](XpsDocument& document, PageStop* stop) {
    prepared->page = document.Prepare(index, dpi, limit, stop, &prepared->losses);
  });
  if (losses) *losses = prepared->losses;
  return std::move(prepared->page);
}

std::unique_ptr<BandRenderer> GuardedDocument::NewRenderer() {
  return (document_ ? document_.get() : left_)->NewRenderer();
}
