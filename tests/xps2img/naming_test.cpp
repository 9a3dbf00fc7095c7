#include <sys/file.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <csignal>
#include <fstream>
#include <thread>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

using Naming = ConverterTest;

// Why the render-slot tests do not run against the Windows converter.
constexpr const char* kSlotsAreLockFiles =
    "the Windows converter's render slots are named mutexes, not the lock files this test holds "
    "(tests/xps2img_win32 checks them)";

std::string Content(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Takes the render slots from `first` on of the converters that use `tmp` as their temporary
// folder, as converters rendering on those cores would; closing the descriptors frees them.
std::vector<int> HoldAllSlots(const fs::path& tmp, unsigned first = 0) {
  fs::path slots = tmp / ("vellumor-render-" + std::to_string(getuid()));
  fs::create_directories(slots);
  fs::permissions(slots, fs::perms::owner_all);
  std::vector<int> held;
  for (unsigned i = first; i < std::max(1u, std::thread::hardware_concurrency()); ++i) {
    int fd =
        open((slots / ("slot-" + std::to_string(i))).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    held.push_back(fd);
  }
  return held;
}

// `folder` holds the three pages of text.xps `runs` times over, each run under a copy suffix
// of its own, and nothing else.
void ExpectCopies(const fs::path& folder, int runs) {
  EXPECT_EQ(Names(folder).size(), 3u * runs);
  for (int copy = 1; copy <= runs; ++copy) {
    std::string suffix = copy == 1 ? "" : " (" + std::to_string(copy) + ")";
    for (int page = 1; page <= 3; ++page) {
      fs::path image = folder / ("图" + std::to_string(page) + suffix + ".png");
      EXPECT_GT(Identify(image).width, 0) << image;
    }
  }
}

TEST_F(Naming, PagesAreNamedStemNumberExtension) {
  ASSERT_EQ(Convert({Fixture("text.xps"), out_.string(), "-d", "10", "-i", "图2-", "-f", "jpeg"})
                .exitCode,
            0);
  EXPECT_EQ(Names(out_), (std::vector<std::string>{"图2-1.jpeg", "图2-2.jpeg", "图2-3.jpeg"}));
}

// When any name of the document is taken, the whole document moves to the first free copy
// suffix, so its pages stay together; an existing file is never touched.
TEST_F(Naming, ExistingFilesAreNeverReplaced) {
  std::ofstream(out_ / "图2.png") << "mine";
  auto run = [&] { return Convert({Fixture("text.xps"), out_.string(), "-d", "10"}).exitCode; };
  ASSERT_EQ(run(), 0);
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(Names(out_),
            (std::vector<std::string>{"图1 (2).png", "图1 (3).png", "图2 (2).png", "图2 (3).png",
                                      "图2.png", "图3 (2).png", "图3 (3).png"}));
  EXPECT_EQ(Content(out_ / "图2.png"), "mine");
}

// The JPEG fix renames .jpeg to .jpg later, so for JPEG the two spellings are one name.
TEST_F(Naming, ForJpegTheJpgNameCountsAsTaken) {
  std::ofstream(out_ / "图1.jpg") << "renamed earlier";
  ASSERT_EQ(Convert({Fixture("grey.xps"), out_.string(), "-d", "10", "-f", "jpeg"}).exitCode, 0);
  ASSERT_EQ(Convert({Fixture("grey.xps"), out_.string(), "-d", "10", "-f", "jpg"}).exitCode, 0);
  ASSERT_EQ(Convert({Fixture("grey.xps"), out_.string(), "-d", "10", "-f", "png"}).exitCode, 0);
  EXPECT_EQ(Names(out_),
            (std::vector<std::string>{"图1 (2).jpeg", "图1 (3).jpg", "图1.jpg", "图1.png",
                                      "图2 (2).jpeg", "图2 (3).jpg", "图2.png"}));
  EXPECT_EQ(Content(out_ / "图1.jpg"), "renamed earlier");
}

// Two runs of one file each into one folder both use the stem 图 and start at the same time:
// each takes a set of names of its own and no page is lost.
TEST_F(Naming, ConvertersStartedTogetherNeverShareNames) {
  const int runs = 4;
  std::vector<pid_t> pids;
  for (int i = 0; i < runs; ++i) {
    pids.push_back(StartProcess({XPS2IMG, Fixture("text.xps"), out_.string(), "-d", "20"},
                                (root_ / ("out" + std::to_string(i))).string(),
                                (root_ / ("err" + std::to_string(i))).string()));
  }
  for (pid_t pid : pids) EXPECT_EQ(WaitProcess(pid), 0);
  ExpectCopies(out_, runs);
}

// Converters share the machine's render slots, one per core, held as locks on files. While
// another process holds every slot, no page is rendered; once they are free, all are.
TEST_F(Naming, RenderingWaitsForAFreeMachineWideSlot) {
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
TEST_F(Naming, ManyWaitingConvertersAllFinishWithNamesOfTheirOwn) {
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
TEST_F(Naming, RenderingTakesWhicheverSlotIsFree) {
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

// A converter reserves a document's names with one hidden file that it holds, not one file per
// page. Killed, it leaves only hidden files, which no other converter takes for names: the
// next run into the folder uses the plain names and removes them.
TEST_F(Naming, AKilledConvertersReservationsDieWithIt) {
  if (DrivesWindowsConverter()) GTEST_SKIP() << kSlotsAreLockFiles;
  fs::path tmp = NewFolder("tmp");
  // One slot left, and a first page that takes seconds: the converter is killed while it
  // draws, before any image is complete.
  std::vector<int> held = HoldAllSlots(tmp, 1);
  pid_t pid = StartProcess({XPS2IMG, Fixture("graphics.xps"), out_.string(), "-d", "600"},
                           (root_ / "out.txt").string(), (root_ / "err.txt").string(),
                           {"TMPDIR=" + tmp.string()});
  for (int i = 0; i < 250 && Names(out_).empty(); ++i) usleep(20000);
  usleep(200000);
  std::vector<std::string> left = Names(out_);
  EXPECT_TRUE(std::find(left.begin(), left.end(), ".图.png.lock") != left.end());
  for (const std::string& name : left) EXPECT_EQ(name.front(), '.') << name;
  kill(pid, SIGKILL);
  WaitProcess(pid);
  for (int fd : held) close(fd);
  std::ofstream(out_ / ".图2.png.part") << "a dead converter's half page";

  ProcessResult r =
      Convert({Fixture("text.xps"), out_.string(), "-d", "20"}, {"TMPDIR=" + tmp.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Names(out_), (std::vector<std::string>{"图1.png", "图2.png", "图3.png"}));
}

}  // namespace
