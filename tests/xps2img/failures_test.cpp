#include <spawn.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

using Failures = ConverterTest;

// Each broken document is refused with exit status 1 and one line that names the file and the
// reason; nothing is left in the output folder, not even a temporary file.
TEST_F(Failures, BrokenDocumentsAreRefusedCleanly) {
  struct Case {
    std::string document;
    std::string reason;
  };
  for (const Case& c : std::vector<Case>{{"empty.xps", "不是可读的 XPS 文档"},
                                         {"random.xps", "不是可读的 XPS 文档"},
                                         {"truncated.xps", "不是可读的 XPS 文档"},
                                         {"no-sequence.xps", "没有页面"},
                                         {"no-pages.xps", "没有页面"},
                                         {"huge-page.xps", "超过上限"}}) {
    ProcessResult r = Convert({Fixture(c.document), out_.string(), "-d", "72"});
    EXPECT_EQ(r.exitCode, 1) << c.document;
    EXPECT_NE(r.err.find(Fixture(c.document)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(Names(out_).empty()) << c.document;
  }
}

// A page that fails does not cost the others: they are written, the failed page is named.
TEST_F(Failures, PagesThatRenderAreWrittenWhenAnotherFails) {
  ProcessResult r = Convert({Fixture("bad-page.xps"), out_.string(), "-d", "30", "-f", "bmp"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(Names(out_), (std::vector<std::string>{"图1.bmp", "图3.bmp"}));
  EXPECT_NE(r.err.find("第 2 页无法转换"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("已写入 2 页，共 3 页"), std::string::npos) << r.err;
}

// Pages of negative or zero size fail with their numbers; the sound page is written.
TEST_F(Failures, ImpossiblePageSizesFailThosePagesOnly) {
  ProcessResult r = Convert({Fixture("bad-size.xps"), out_.string(), "-d", "30"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(Names(out_), std::vector<std::string>{"图4.png"});
  EXPECT_NE(r.err.find("第 1 页无法转换（页面大小无效：宽 -562500 点、高 -562500 点）"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("第 2 页无法转换（页面大小无效：宽 0 点"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("第 3 页无法转换（页面大小无效：宽 NaN 点"), std::string::npos) << r.err;
}

// A resolution at which a page would be too large is refused before anything is written.
TEST_F(Failures, ResolutionBeyondThePixelLimitWritesNothing) {
  ProcessResult r = Convert({Fixture("text.xps"), out_.string(), "-d", "20000"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("超过上限"), std::string::npos) << r.err;
  EXPECT_TRUE(Names(out_).empty());
}

TEST_F(Failures, MissingOrUnusableSourceAndFolder) {
  fs::path file = root_ / "plain-file";
  std::ofstream(file) << "x";
  struct Case {
    std::string source, folder, mentions;
  };
  for (const Case& c :
       std::vector<Case>{{(root_ / "missing.xps").string(), out_.string(), "不存在"},
                         {out_.string(), out_.string(), "是一个文件夹"},
                         {Fixture("text.xps"), (root_ / "missing").string(), "不存在"},
                         {Fixture("text.xps"), file.string(), "不是文件夹"}}) {
    ProcessResult r = Convert({c.source, c.folder});
    EXPECT_EQ(r.exitCode, 1) << c.source << " " << c.folder;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
    EXPECT_TRUE(Names(out_).empty());
  }
}

// The first folder on the way to `folder` that other users may not enter, or nothing.
std::string FirstFolderOthersCannotEnter(const fs::path& folder) {
  for (fs::path p = folder; !p.empty() && p != p.root_path(); p = p.parent_path()) {
    if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none) {
      return p.string();
    }
  }
  return {};
}

// A folder the user may not write to. Root writes anywhere, so as root the converter runs as
// the unprivileged user "nobody" through setpriv, from copies of the converter and the
// document in the test's folder: nobody may not reach the checkout that holds the originals.
TEST_F(Failures, ReadOnlyOutputFolder) {
  fs::permissions(root_, fs::perms::all);
  fs::permissions(out_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
  std::vector<std::string> argv{XPS2IMG, Fixture("text.xps"), out_.string(), "-d", "20"};
  std::vector<std::string> environment;
  if (geteuid() == 0) {
    if (DrivesWindowsConverter()) {
      GTEST_SKIP() << "running as root, this test runs the converter as another user, which "
                      "Wine refuses: its prefix belongs to root";
    }
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "running as root without setpriv";
    const std::string closed = FirstFolderOthersCannotEnter(root_);
    if (!closed.empty()) {
      GTEST_SKIP() << "not run as nobody: other users may not enter " << closed
                   << ", which holds the temporary folder";
    }
    const fs::perms readable = fs::perms::owner_all | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec;
    argv[0] = (root_ / "xps2img").string();
    argv[1] = (root_ / "text.xps").string();
    fs::copy_file(XPS2IMG, argv[0]);
    fs::copy_file(Fixture("text.xps"), argv[1]);
    fs::permissions(argv[0], readable);
    fs::permissions(argv[1], readable);
    // Its render slots too, where nobody may write.
    environment.push_back("TMPDIR=" + root_.string());
    argv.insert(argv.begin(),
                {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
  }
  ProcessResult r = RunProcess(argv, environment);
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.err.find("无法在输出文件夹"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("没有访问权限"), std::string::npos) << r.err;
  EXPECT_TRUE(Names(out_).empty());
}

// Killed at any moment, the converter leaves only complete images under final names.
TEST_F(Failures, KilledConverterLeavesNoTruncatedImage) {
  for (int delayMs : {150, 400}) {
    fs::path folder = NewFolder("killed" + std::to_string(delayMs));
    pid_t pid =
        StartProcess({XPS2IMG, Fixture("graphics.xps"), folder.string(), "-d", "300", "-f", "bmp"},
                     (root_ / "out.txt").string(), (root_ / "err.txt").string());
    ASSERT_GT(pid, 0);
    usleep(delayMs * 1000);
    kill(pid, SIGKILL);
    WaitProcess(pid);
    for (const std::string& name : Names(folder)) {
      if (name.front() == '.') continue;  // a temporary file: no image name
      ImageInfo info = Identify(folder / name);
      EXPECT_EQ(info.width, 2550) << name;
      EXPECT_EQ(fs::file_size(folder / name), 54u + 2550u * 3u * 3300u) << name;
    }
  }
}

// Nobody left to read the progress: the pages are still written.
TEST_F(Failures, ClosedStandardOutputDoesNotStopTheConversion) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  std::vector<std::string> argv{XPS2IMG, Fixture("text.xps"), out_.string(), "-d", "20"};
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  EXPECT_EQ(WaitProcess(pid), 0);
  EXPECT_EQ(Names(out_), (std::vector<std::string>{"图1.png", "图2.png", "图3.png"}));
}

}  // namespace
