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

}  // namespace
