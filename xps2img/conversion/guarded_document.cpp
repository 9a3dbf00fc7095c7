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

// One stage, as its caller and the stage thread share it. The thread holds it too, so that a
// stage left behind still has everything it writes to.
struct GuardedDocument::Stage {
  std::function<void(PageStop*)> work;
  PageStop stop;
  bool finished = false;
  std::exception_ptr failure;
};

// The thread that runs a document's stages one at a time: one thread for all of them, rather
// than a new one, with its stack and memory to map afresh, for every stage. `mutex` guards the
// fields and each stage's `finished`.
struct GuardedDocument::StageThread {
  std::mutex mutex;
  std::condition_variable changed;
  std::shared_ptr<Stage> next;  // handed to the thread, cleared when it is done
  bool ending = false;
  std::thread thread;

  static void Serve(const std::shared_ptr<StageThread>& self) {
    std::unique_lock lock(self->mutex);
    for (;;) {
      self->changed.wait(lock, [&self] { return self->next || self->ending; });
      if (self->ending) return;
      std::shared_ptr<Stage> stage = self->next;
      lock.unlock();
      try {
        stage->work(&stage->stop);
      } catch (...) {
        stage->failure = std::current_exception();
      }
      lock.lock();
      stage->finished = true;
      self->next.reset();
      self->changed.notify_all();
    }
  }

  // Asks the thread to end once it is free. The caller joins or detaches it.
  void End() {
    std::lock_guard lock(mutex);
    ending = true;
    changed.notify_all();
  }
};

GuardedDocument::GuardedDocument(Opener open, std::chrono::seconds budget)
    : open_(std::move(open)), budget_(budget) {}

GuardedDocument::~GuardedDocument() {
  if (!thread_) return;
  thread_->End();
  thread_->thread.join();
}

GuardedDocument::Opener GuardedDocument::OpenFile(std::string path, std::size_t storeBytes) {
  return [path = std::move(path), storeBytes](PageStop* stop) {
    return XpsDocument::Open(path, storeBytes, stop);
  };
}

GuardedDocument::Opener GuardedDocument::OpenBytes(const unsigned char* data, std::size_t size,
                                                   std::size_t storeBytes) {
  return [data, size, storeBytes](PageStop* stop) {
    return XpsDocument::OpenBytes(data, size, storeBytes, stop);
  };
}

void GuardedDocument::RunUnderBudget(const std::function<void(PageStop*)>& work) {
  if (!thread_) {
    auto started = std::make_shared<StageThread>();
    started->thread = std::thread([started] { StageThread::Serve(started); });
    thread_ = std::move(started);
  }
  auto stage = std::make_shared<Stage>();
  stage->work = work;
  auto deadline = std::chrono::steady_clock::now() + budget_;
  auto finished = [&stage] { return stage->finished; };
  std::unique_lock lock(thread_->mutex);
  thread_->next = stage;
  thread_->changed.notify_all();
  if (!thread_->changed.wait_until(lock, deadline, finished)) {
    stage->stop.Stop();
    if (!thread_->changed.wait_until(lock, deadline + Grace(budget_), finished)) {
      // Left inside MuPDF: the thread ends if it ever comes back, and the next stage gets a
      // thread of its own.
      thread_->ending = true;
      lock.unlock();
      thread_->thread.detach();
      thread_.reset();
      abandoned_ = true;
      throw StageGivenUp(stage->stop.stage());
    }
  }
  lock.unlock();
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
