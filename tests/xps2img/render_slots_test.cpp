#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

using RenderSlots = ConverterTest;

// Converters share the machine's render slots, one per core, held as locks on files. While
// another process holds every slot, no page is rendered; once they are free, all are.
TEST_F(RenderSlots, RenderingWaitsForAFreeMachineWideSlot) {
  if (DrivesWindowsConverter()) GTEST_SKIP() << kSlotsAreLockFiles;
  fs::path tmp = NewFolder("tmp");
  std::vector<int> held = HoldAllSlots(tmp);
  pid_t pid = StartProcess({XPS2IMG, Fixture("text.xps"), out_.string(), "-d", "20"},
                           (root_ / "out.txt").string(), (root_ / "err.txt").string(),
                           {"TMPDIR=" + tmp.string()});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // A converter waits before it opens the document: nothing is made yet, not even the
  // reservation of its names.
  EXPECT_EQ(Names(out_), std::vector<std::string>{});
  for (int fd : held) close(fd);
  EXPECT_EQ(WaitProcess(pid), 0);
  EXPECT_EQ(Names(out_), (std::vector<std::string>{"图1.png", "图2.png", "图3.png"}));
}

// Converters started together while every slot is busy each wait in a single thread; once the
// slots are free, every one finishes, each with names of its own, and nothing else is left.
TEST_F(RenderSlots, ManyWaitingConvertersAllFinishWithNamesOfTheirOwn) {
  if (DrivesWindowsConverter()) {
    GTEST_SKIP() << kSlotsAreLockFiles << ", and under Wine a converter has more than one thread";
  }
  fs::path tmp = NewFolder("tmp");
  std::vector<int> held = HoldAllSlots(tmp);
  const int runs = 30;
  std::vector<pid_t> pids;
  for (int i = 0; i < runs; ++i) {
    pids.push_back(StartProcess({XPS2IMG, Fixture("text.xps"), out_.string(), "-d", "10"},
                                (root_ / ("out" + std::to_string(i))).string(),
                                (root_ / ("err" + std::to_string(i))).string(),
                                {"TMPDIR=" + tmp.string()}));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  for (pid_t pid : pids) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line) && line.rfind("Threads:", 0) != 0) {
    }
    EXPECT_EQ(line, "Threads:\t1") << pid;
  }
  for (int fd : held) close(fd);
  for (pid_t pid : pids) EXPECT_EQ(WaitProcess(pid), 0);
  ExpectCopies(out_, runs);
}

// With every slot but one held by others, a converter's pages all go through the free one:
// none waits behind another holder while it lies free.
TEST_F(RenderSlots, RenderingTakesWhicheverSlotIsFree) {
  if (DrivesWindowsConverter()) GTEST_SKIP() << kSlotsAreLockFiles;
  fs::path tmp = NewFolder("tmp");
  std::vector<int> held = HoldAllSlots(tmp, 1);
  pid_t pid = StartProcess({XPS2IMG, Fixture("text.xps"), out_.string(), "-d", "20"},
                           (root_ / "out.txt").string(), (root_ / "err.txt").string(),
                           {"TMPDIR=" + tmp.string()});
  const std::vector<std::string> images{"图1.png", "图2.png", "图3.png"};
  for (int i = 0; i < 1000 && Names(out_) != images; ++i) usleep(20000);
  EXPECT_EQ(Names(out_), images);
  for (int fd : held) close(fd);
  EXPECT_EQ(WaitProcess(pid), 0);
}

// The cores a thread of `pid` may run on, as /proc lists them ("0-1", "1").
std::string AllowedCores(pid_t pid, pid_t thread = 0) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/task/" +
                       std::to_string(thread ? thread : pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Cpus_allowed_list:", 0) == 0)
      return line.substr(line.find_first_not_of(" \t", 18));
  }
  return {};
}

// A converter that found a slot free runs anywhere; one that waited keeps to its slot's core
// while it renders (its threads hand each page to one another), and so does its second worker,
// started by the first, on the core of the slot it waited for.
TEST_F(RenderSlots, AConverterThatWaitedKeepsToItsSlotsCore) {
  if (DrivesWindowsConverter()) GTEST_SKIP() << kSlotsAreLockFiles;
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  if (CPU_COUNT(&allowed) < 2 || std::thread::hardware_concurrency() < 2) {
    GTEST_SKIP() << "this machine lets the test run on one core only: there is no other to keep to";
  }
  std::vector<std::string> cores;
  for (int core = 0; core < CPU_SETSIZE; ++core) {
    if (CPU_ISSET(core, &allowed)) cores.push_back(std::to_string(core));
  }
  auto aThreadRunsOn = [](pid_t pid, const std::string& expected) {
    std::error_code error;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
      if (AllowedCores(pid, std::stoi(task.path().filename().string())) == expected) return true;
    }
    return false;
  };
  std::string everywhere = AllowedCores(getpid());
  // Slot 1 alone held, so that the converter finds slot 0 free; or every slot held, then slot 1
  // freed for the first worker and, while it draws its page, slot 0 for the second.
  struct Step {
    int freed;  // the slot freed before the step, or -1
    std::string cores;
  };
  for (const auto& steps :
       {std::vector<Step>{{-1, everywhere}}, std::vector<Step>{{1, cores[1]}, {0, cores[0]}}}) {
    std::string name = steps.size() == 1 ? "free" : "waits";
    fs::path tmp = NewFolder("tmp-" + name), out = NewFolder("out-" + name);
    std::vector<int> held = HoldAllSlots(tmp, steps.size() == 1 ? 1 : 0);
    pid_t pid = StartProcess({XPS2IMG, Fixture("graphics.xps"), out.string(), "-d", "300"},
                             (root_ / "out.txt").string(), (root_ / "err.txt").string(),
                             {"TMPDIR=" + tmp.string()});
    for (const Step& step : steps) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      if (step.freed >= 0) close(std::exchange(held[static_cast<std::size_t>(step.freed)], -1));
      bool seen = false;
      for (int i = 0; i < 250 && !(seen = aThreadRunsOn(pid, step.cores)); ++i) usleep(20000);
      EXPECT_TRUE(seen) << name << ": no thread runs on " << step.cores;
    }
    for (int fd : held) {
      if (fd >= 0) close(fd);
    }
    EXPECT_EQ(WaitProcess(pid), 0);
  }
}

}  // namespace
