#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

using Naming = ConverterTest;

std::string Content(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
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
