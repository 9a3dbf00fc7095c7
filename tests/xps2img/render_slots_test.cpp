#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
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

// A converter that waited for its slot keeps to that slot's core while it renders (its threads
// hand each page to one another); one that found a slot free runs anywhere.
TEST_F(RenderSlots, AConverterThatWaitedKeepsToItsSlotsCore) {
  if (DrivesWindowsConverter()) GTEST_SKIP() << kSlotsAreLockFiles;
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  if (CPU_COUNT(&allowed) < 2 || std::thread::hardware_concurrency() < 2) {
    GTEST_SKIP() << "this machine lets the test run on one core only: there is no other to keep to";
  }
  std::vector<int> cores;
  for (int core = 0; core < CPU_SETSIZE; ++core) {
    if (CPU_ISSET(core, &allowed)) cores.push_back(core);
  }
  std::string everywhere = AllowedCores(getpid());
  for (bool waits : {false, true}) {
    fs::path tmp = NewFolder(waits ? "tmp-waits" : "tmp-free");
    fs::path out = NewFolder(waits ? "out-waits" : "out-free");
    // Slot 1 is held at first when the converter is to wait for it, else slot 0 is free.
    std::vector<int> held = HoldAllSlots(tmp, waits ? 0 : 1);
    pid_t pid = StartProcess({XPS2IMG, Fixture("graphics.xps"), out.string(), "-d", "300"},
                             (root_ / "out.txt").string(), (root_ / "err.txt").string(),
                             {"TMPDIR=" + tmp.string()});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (waits) close(held[1]);
    std::string expected = waits ? std::to_string(cores[1]) : everywhere;
    std::string seen;
    for (int i = 0; i < 250 && (seen = AllowedCores(pid)) != expected; ++i) usleep(20000);
    EXPECT_EQ(seen, expected) << (waits ? "waited" : "found a slot free");
    for (int fd : held) close(fd);
    EXPECT_EQ(WaitProcess(pid), 0);
  }
  // Its second worker, started by the first and waiting for a slot of its own, keeps to that
  // slot's core, not to the first worker's.
  fs::path tmp = NewFolder("tmp-second"), out = NewFolder("out-second");
  std::vector<int> held = HoldAllSlots(tmp, 0);
  pid_t pid = StartProcess({XPS2IMG, Fixture("graphics.xps"), out.string(), "-d", "300"},
                           (root_ / "out.txt").string(), (root_ / "err.txt").string(),
                           {"TMPDIR=" + tmp.string()});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  close(held[1]);
  for (int i = 0; i < 250 && AllowedCores(pid) != std::to_string(cores[1]); ++i) usleep(20000);
  // The second worker gets in line while the first draws its page, which takes seconds.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  close(held[0]);
  auto aThreadKeepsTo = [pid](int core) {
    std::error_code error;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
      pid_t thread = std::stoi(task.path().filename().string());
      if (AllowedCores(pid, thread) == std::to_string(core)) return true;
    }
    return false;
  };
  bool kept = false;
  for (int i = 0; i < 250 && !(kept = aThreadKeepsTo(cores[0])); ++i) usleep(20000);
  EXPECT_TRUE(kept) << "no thread keeps to the core of the second worker's slot";
  for (std::size_t i = 2; i < held.size(); ++i) close(held[i]);
  EXPECT_EQ(WaitProcess(pid), 0);
}

}  // namespace
