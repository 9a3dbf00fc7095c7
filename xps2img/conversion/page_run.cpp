#include "xps2img/conversion/page_run.h"

#include <algorithm>
#include <thread>

#include "xps2img/conversion/messages.h"
#include "xps2img/conversion/page_output.h"
#include "xps2img/conversion/pixel_limit.h"
#include "xps2img/conversion/report.h"
#include "xps2img/platform/console_window.h"
#include "xps2img/platform/platform.h"

namespace {

// While workers render, a display list is made ahead for each of them only while MuPDF holds
// less than this; a page of many gradients alone takes some 50 MB.
constexpr std::size_t kMemoryForListAhead = std::size_t{64} << 20;

}  // namespace

PageRun::PageRun(const Options& options, GuardedDocument& document, Reservation names,
                 std::unique_ptr<platform::RenderSlot> slot)
    : options_(options),
      document_(document),
      files_(std::move(names.files)),
      hold_(std::move(names.hold)),
      firstSlot_(std::move(slot)),
      budget_(options.pageSeconds),
      unclaimed_(static_cast<int>(files_.size())) {}

ConversionEnd PageRun::Run() {
  int count = static_cast<int>(files_.size());
  for (int i = 0; i < std::min(platform::CoreCount(), count); ++i) StartWorker(i == 0);
  for (int i = 0; i < count; ++i) {
    WaitForDemand();
    auto start = Watchdog::Clock::now();
    Job job{i, nullptr, {}, {}};
    job.page = Prepare(i, job.losses);
    job.spent = Watchdog::Clock::now() - start;
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(job));
    jobReady_.notify_one();
  }
  WaitForPages();
  firstSlot_.reset();
  // Every page is done: no worker is busy, so none can be given up any more, and none starts
  // to wait for a slot.
  bool leftBehind = false;
  std::vector<Worker*> ending;
  {
    std::lock_guard lock(mutex_);
    for (Worker& worker : workers_) {
      if (worker.givenUp || worker.waitingForSlot) {
        leftBehind = true;
      } else {
        ending.push_back(&worker);
      }
    }
  }
  for (Worker* worker : ending) worker->thread.join();
  ExitCode code = Report();
  if (leftBehind || document_.abandoned()) {
    // A worker or a stage of the document is still inside MuPDF, where nothing MuPDF holds may
    // be released under it, or a worker is still in line for a render slot, which may take
    // long: the process is to end at once rather than through the destructors.
    hold_.reset();
    for (Worker& worker : workers_) {
      if (worker.thread.joinable()) worker.thread.detach();
    }
    return {code, true};
  }
  finished_.clear();
  return {code};
}

void PageRun::StartWorker(bool hasFirstSlot) {
  Worker& worker = workers_.emplace_back();
  worker.hasFirstSlot = hasFirstSlot;
  worker.renderer = document_.NewRenderer();
  worker.thread = std::thread([this, &worker] { Work(worker); });
}

void PageRun::Work(Worker& worker) {
  for (;;) {
    std::unique_ptr<platform::RenderSlot> slot;
    if (!worker.hasFirstSlot) {
      {
        std::lock_guard lock(mutex_);
        if (unclaimed_ == 0) return;
        worker.waitingForSlot = true;
      }
      slot = platform::AcquireRenderSlot();
      std::lock_guard lock(mutex_);
      worker.waitingForSlot = false;
    }
    if (!Claim()) return;
    Job job = TakeJob();  // counts this worker as holding a slot until ReturnJob
    if (job.page) {
      {
        std::lock_guard lock(mutex_);
        worker.busy = job.index;
      }
      PageStop stop;
      auto deadline = Watchdog::Clock::now() + budget_ - job.spent;
      Watched stopAt(watchdog_, deadline, [&stop] { stop.Stop(); });
      Watched giveUpAt(
          watchdog_, deadline + Grace(budget_),
          [this, &worker, &stop, index = job.index] { GiveUp(worker, index, stop.stage()); });
      try {
        WritePage(*worker.renderer, *job.page, files_[static_cast<size_t>(job.index)], options_,
                  &stop, &job.losses);
        Written(job.index, &worker, job.losses);
      } catch (const PageStopped& e) {
        Failed(job.index, StageFailureText(e, budget_), &worker);
      } catch (const std::exception& e) {
        Failed(job.index, e.what(), &worker);
      }
    }
    slot.reset();
    ReturnJob(std::move(job));
    std::lock_guard lock(mutex_);
    if (worker.givenUp) return;
  }
}

void PageRun::GiveUp(Worker& worker, int index, const char* stage) {
  platform::RemoveFile(files_[static_cast<size_t>(index)].temporary);
  std::lock_guard lock(mutex_);
  if (worker.busy != index) return;  // done meanwhile
  worker.busy = -1;
  worker.givenUp = true;
  ++stuck_;
  failures_.push_back({index, TimeoutText(budget_, stage, true)});
  mainWakes_.notify_one();
}

// Starts a worker, outside the lock, in place of one given up on a stuck page, if any.
bool PageRun::ReplaceStuckWorker(std::unique_lock<std::mutex>& lock) {
  if (stuck_ == 0) return false;
  --stuck_;
  lock.unlock();
  StartWorker();
  lock.lock();
  return true;
}

void PageRun::WaitForPages() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (ReplaceStuckWorker(lock)) continue;
    if (AllDone()) return;
    mainWakes_.wait(lock);
  }
}

// Claims one of the pages still to do, once the worker can render it.
bool PageRun::Claim() {
  std::lock_guard lock(mutex_);
  if (unclaimed_ == 0) return false;
  --unclaimed_;
  return true;
}

PageRun::Job PageRun::TakeJob() {
  std::unique_lock lock(mutex_);
  ++holding_;
  ++waiting_;
  mainWakes_.notify_one();
  jobReady_.wait(lock, [this] { return !ready_.empty(); });
  --waiting_;
  Job job = std::move(ready_.front());
  ready_.pop_front();
  return job;
}

void PageRun::ReturnJob(Job job) {
  std::lock_guard lock(mutex_);
  --holding_;
  finished_.push_back(std::move(job.page));
  mainWakes_.notify_one();
}

void PageRun::WaitForDemand() {
  std::unique_lock lock(mutex_);
  for (;;) {
    std::vector<std::unique_ptr<PreparedPage>> drop = std::move(finished_);
    finished_.clear();
    if (!drop.empty()) {
      lock.unlock();
      drop.clear();
      lock.lock();
      continue;
    }
    if (ReplaceStuckWorker(lock)) continue;
    int ready = static_cast<int>(ready_.size());
    if (ready < waiting_) return;
    if (ready < holding_ && XpsDocument::MemoryInUse() < kMemoryForListAhead) return;
    mainWakes_.wait(lock);
  }
}

std::unique_ptr<PreparedPage> PageRun::Prepare(int index, PageLosses& losses) {
  try {
    return document_.Prepare(index, options_.dpi, kPixelLimit, &losses);
  } catch (const PageTooLarge& e) {
    Failed(index, TooLargeText(e, options_.dpi));
  } catch (const RenderError& e) {
    Failed(index, StageFailureText(e, budget_));
  } catch (const std::exception& e) {
    Failed(index, e.what());
  }
  return nullptr;
}

void PageRun::Written(int index, Worker* worker, const PageLosses& losses) {
  std::lock_guard lock(mutex_);
  if (worker->givenUp) return;  // failed already; its file was removed
  worker->busy = -1;
  ++written_;
  if (AllDone()) mainWakes_.notify_one();
  platform::PrintLine(PageWrittenText(index, static_cast<int>(files_.size()),
                                      files_[static_cast<size_t>(index)].final));
  console_window::PageWritten(written_, static_cast<int>(files_.size()));
  if (!losses.all().empty()) ReportError(PageLossesText(options_.source, index, losses.all()));
}

void PageRun::Failed(int index, const std::string& reason, Worker* worker) {
  platform::RemoveFile(files_[static_cast<size_t>(index)].temporary);
  std::lock_guard lock(mutex_);
  if (worker && worker->givenUp) return;
  if (worker) worker->busy = -1;
  failures_.push_back({index, reason});
  if (AllDone()) mainWakes_.notify_one();
}

bool PageRun::AllDone() const {
  return written_ + static_cast<int>(failures_.size()) == static_cast<int>(files_.size());
}

ExitCode PageRun::Report() {
  if (failures_.empty()) return ExitCode::kSuccess;
  std::sort(failures_.begin(), failures_.end());
  ReportError(
      FailedPagesText(options_.source, failures_, written_, static_cast<int>(files_.size())));
  return ExitCode::kFailure;
}
