#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "xps2img/conversion/conversion_end.h"
#include "xps2img/conversion/guarded_document.h"
#include "xps2img/conversion/options.h"
#include "xps2img/conversion/output_names.h"
#include "xps2img/conversion/watchdog.h"
#include "xps2img/engine/engine.h"
#include "xps2img/platform/platform.h"

// Converts the pages of one document into their reserved names. The main thread loads pages
// into display lists (each under the page budget, see GuardedDocument) and drops them again;
// worker threads, one per core, render and encode.
// The first worker renders in the render slot the converter took before it opened the
// document; any other worker first takes one of the machine's render slots for each page, and
// only then claims a page and has a display list made for it: a worker waiting for a slot holds
// no page in memory, and never keeps a page from the first worker. While its workers render,
// one list each is made ahead if memory allows. Once every page is done, the first slot is let
// go and workers still waiting for a slot are not waited for.
//
// Each page has a time budget for loading and rendering; past it, its work is stopped. A worker
// that stays stuck inside MuPDF even so is given up: its page fails, another worker takes its
// place, and Run reports it left behind, not waiting for it: then neither this object nor the
// document may be destroyed.
class PageRun {
 public:
  // `slot` (null when the slots cannot be used) is let go by Run, on the calling thread.
  PageRun(const Options& options, GuardedDocument& document, Reservation names,
          std::unique_ptr<platform::RenderSlot> slot);

  // Writes every page it can, reports progress and failures; returns the exit status, and
  // whether work was left behind (a worker or a stage of the document).
  ConversionEnd Run();

 private:
  struct Job {
    int index;
    std::unique_ptr<PreparedPage> page;  // nullptr when the page could not be loaded
    Watchdog::Clock::duration spent{};   // of the page's time budget, in loading it
    PageLosses losses;                   // what could not be read or drawn
  };
  struct Worker {
    std::unique_ptr<BandRenderer> renderer;
    std::thread thread;
    int busy = -1;  // the page being written
    bool givenUp = false;
    bool hasFirstSlot = false;
    bool waitingForSlot = false;
  };

  void StartWorker(bool hasFirstSlot = false);
  void Work(Worker& worker);
  // Fails the page of a worker stuck past its budget and asks for a worker in its place.
  void GiveUp(Worker& worker, int index, const char* stage);
  bool ReplaceStuckWorker(std::unique_lock<std::mutex>& lock);
  // Waits until every page is written or failed, starting workers in place of stuck ones.
  void WaitForPages();
  bool Claim();
  Job TakeJob();
  // Hands the drawn page back for the main thread to drop, and frees the worker's place.
  void ReturnJob(Job job);
  // Waits until a worker with a slot asks for a page, dropping finished lists meanwhile.
  void WaitForDemand();
  std::unique_ptr<PreparedPage> Prepare(int index, PageLosses& losses);
  // Count a page as done, unless its worker was given up.
  void Written(int index, Worker* worker, const PageLosses& losses);
  void Failed(int index, const std::string& reason, Worker* worker = nullptr);
  bool AllDone() const;  // every page written or failed; under the lock
  ExitCode Report();

  const Options& options_;
  GuardedDocument& document_;
  std::vector<PageFile> files_;
  std::unique_ptr<platform::HeldFile> hold_;  // the reservation of the names
  std::unique_ptr<platform::RenderSlot> firstSlot_;
  const std::chrono::seconds budget_;
  std::deque<Worker> workers_;  // only the main thread adds to it
  Watchdog watchdog_;

  std::mutex mutex_;
  // Only what a thread waits for wakes it: the main thread for a worker asking for a page, a
  // list to drop, a worker given up or the last page done; one worker for each list made.
  std::condition_variable mainWakes_;
  std::condition_variable jobReady_;
  int unclaimed_;          // pages no worker has claimed yet
  int holding_ = 0;        // workers holding a render slot
  int waiting_ = 0;        // of those, the ones waiting for a page
  std::deque<Job> ready_;  // display lists made for workers that hold a slot
  std::vector<std::unique_ptr<PreparedPage>> finished_;  // to be dropped by the main thread
  int written_ = 0;
  int stuck_ = 0;  // workers given up and not yet replaced
  std::vector<std::pair<int, std::string>> failures_;
};
