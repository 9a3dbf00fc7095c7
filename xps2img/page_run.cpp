#include "xps2img/page_run.h"

#include <algorithm>
#include <cstdint>
#include <thread>

#include "xps2img/page_output.h"
#include "xps2img/platform.h"

namespace {

// Failures listed in the closing message; further ones are counted only.
constexpr size_t kListedFailures = 10;

// While workers render, a display list is made ahead for each of them only while MuPDF holds
// less than this; a page of many gradients alone takes some 50 MB.
constexpr std::size_t kMemoryForListAhead = std::size_t{64} << 20;

}  // namespace

std::string TooLargeText(const PageTooLarge& e, int dpi) {
  auto number = [](double n) { return std::to_string(static_cast<std::int64_t>(n)); };
  return "在 " + std::to_string(dpi) + " dpi 下为 " + number(e.width) + " × " + number(e.height) +
         " 像素，超过上限（每边最多 " + number(kPixelLimit.maxSide) + " 像素、共最多 " +
         number(kPixelLimit.maxPixels / 1e4) + " 万像素）";
}

PageRun::PageRun(const Options& options, XpsDocument& document, std::vector<PageFile> files)
    : options_(options),
      document_(document),
      files_(std::move(files)),
      unclaimed_(static_cast<int>(files_.size())) {}

ExitCode PageRun::Run() {
  int count = static_cast<int>(files_.size());
  std::vector<std::unique_ptr<BandRenderer>> renderers;
  for (int i = 0; i < std::min(platform::CoreCount(), count); ++i) {
    renderers.push_back(document_.NewRenderer());
  }
  std::vector<std::thread> threads;
  for (auto& renderer : renderers) {
    threads.emplace_back([this, r = renderer.get()] { Work(*r); });
  }
  for (int i = 0; i < count; ++i) {
    WaitForDemand();
    Job job{i, Prepare(i)};
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(job));
    changed_.notify_all();
  }
  for (auto& thread : threads) thread.join();
  finished_.clear();
  return Report();
}

void PageRun::Work(BandRenderer& renderer) {
  while (Claim()) {
    auto slot = platform::AcquireRenderSlot();
    Job job = TakeJob();  // counts this worker as holding a slot until Finish
    if (job.page) {
      try {
        WritePage(renderer, *job.page, files_[static_cast<size_t>(job.index)], options_);
        Written(job.index);
      } catch (const std::exception& e) {
        Failed(job.index, e.what());
      }
    }
    slot.reset();
    Finish(std::move(job));
  }
}

// Claims one of the pages still to do before waiting for a slot, so that no worker waits for
// a slot it will not use.
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
  changed_.notify_all();
  changed_.wait(lock, [this] { return !ready_.empty(); });
  --waiting_;
  Job job = std::move(ready_.front());
  ready_.pop_front();
  return job;
}

void PageRun::Finish(Job job) {
  std::lock_guard lock(mutex_);
  --holding_;
  finished_.push_back(std::move(job.page));
  changed_.notify_all();
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
    int ready = static_cast<int>(ready_.size());
    if (ready < waiting_) return;
    if (ready < holding_ && XpsDocument::MemoryInUse() < kMemoryForListAhead) return;
    changed_.wait(lock);
  }
}

std::unique_ptr<PreparedPage> PageRun::Prepare(int index) {
  try {
    return document_.Prepare(index, options_.dpi, kPixelLimit);
  } catch (const PageTooLarge& e) {
    Failed(index, TooLargeText(e, options_.dpi));
  } catch (const std::exception& e) {
    Failed(index, e.what());
  }
  return nullptr;
}

void PageRun::Written(int index) {
  std::lock_guard lock(mutex_);
  ++written_;
  platform::PrintLine("第 " + std::to_string(index + 1) + "/" + std::to_string(files_.size()) +
                      " 页 → " + files_[static_cast<size_t>(index)].final);
}

void PageRun::Failed(int index, const std::string& reason) {
  platform::RemoveFile(files_[static_cast<size_t>(index)].temporary);
  std::lock_guard lock(mutex_);
  failures_.push_back({index, reason});
}

ExitCode PageRun::Report() {
  if (failures_.empty()) return ExitCode::kSuccess;
  std::sort(failures_.begin(), failures_.end());
  std::string message = Quote(options_.source) + "：";
  for (size_t i = 0; i < failures_.size() && i < kListedFailures; ++i) {
    message += "第 " + std::to_string(failures_[i].first + 1) + " 页无法转换（" +
               failures_[i].second + "）；";
  }
  if (failures_.size() > kListedFailures) {
    message += "另有 " + std::to_string(failures_.size() - kListedFailures) + " 页失败；";
  }
  message +=
      "已写入 " + std::to_string(written_) + " 页，共 " + std::to_string(files_.size()) + " 页";
  platform::PrintError("xps2img: " + message);
  return ExitCode::kFailure;
}
