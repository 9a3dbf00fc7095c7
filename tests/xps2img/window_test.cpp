#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "harness.h"

namespace {

struct TerminalRun {
  int exitCode = -1;
  std::string screen;  // everything written to the terminal
  double seconds = 0;
};

// Runs `argv` as a terminal emulator's -e does: as the leader of a new session whose controlling
// terminal, a new pseudo-terminal, holds its standard streams. `extraEnv` on top of this
// process's environment.
TerminalRun RunInOwnTerminal(const std::vector<std::string>& argv,
                             const std::vector<std::string>& extraEnv) {
  auto [args, env] = ForExec(argv, extraEnv);

  TerminalRun run;
  const auto start = std::chrono::steady_clock::now();
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid < 0) return run;
  if (pid == 0) {
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  char buffer[4096];
  for (;;) {  // until the program's side is closed: EIO
    const ssize_t n = read(terminal, buffer, sizeof buffer);
    if (n > 0) {
      run.screen.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(terminal);
  run.exitCode = WaitProcess(pid);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

std::string Title(const std::string& text) { return "\033]0;" + text + "\007"; }

using Window = ConverterTest;

// In a terminal of its own, a converter where anything went wrong (a failure, a page's losses,
// a command line it refuses) shows what it wrote and why, counts down and ends by itself with
// its status; the title follows the pages.
TEST_F(Window, AFailureStaysOnScreenForTheCountdown) {
  const std::string missing = (root_ / "无此文件.xps").string();
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases{
      {{missing, out_.string()},
       1,
       {"转换失败。", "文档：" + missing, "没有写入任何图片。",
        "原因：\r\n  xps2img: 无法读取源文件", Title("无此文件.xps — 失败")}},
      {{Fixture("bad-page.xps"), out_.string(), "-d", "30", "-i", "坏"},
       1,
       {"转换未全部完成。", "已写入 2 页，共 3 页，位于 " + out_.string(), "第 2 页无法转换",
        Title("bad-page.xps — 第 1/3 页"), Title("bad-page.xps — 第 2/3 页"),
        Title("bad-page.xps — 失败，已写入 2/3 页")}},
      {{Fixture("losses.xps"), out_.string(), "-d", "30", "-i", "损"},
       0,
       {"转换完成，但有页面的部分内容未能画出。", "已写入 5 页，共 5 页", "第 4 页有内容未能画出",
        Title("losses.xps — 完成，有内容未能画出")}},
      {{Fixture("text.xps"), out_.string(), "-f", "xyz"},
       2,
       {"命令行有误，没有转换任何页面。", "不支持的格式“xyz”", Title("xps2img — 命令行有误")}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{XPS2IMG};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    TerminalRun run = RunInOwnTerminal(argv, {"XPS2IMG_LINGER_SECONDS=2"});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.screen;
    for (const std::string& text : c.shown) {
      EXPECT_NE(run.screen.find(text), std::string::npos) << text << "\n" << run.screen;
    }
    const auto two = run.screen.find("\r本窗口 2 秒后自动关闭");
    const auto one = run.screen.find("\r本窗口 1 秒后自动关闭");
    EXPECT_TRUE(two != std::string::npos && one != std::string::npos && two < one) << run.screen;
    EXPECT_GE(run.seconds, 2.0);
  }
}

// A converter that succeeds closes its window at once; one that shares a terminal with the
// shell that started it, or whose output is redirected, never lingers, whatever happened, and
// leaves the terminal's title alone.
TEST_F(Window, NoCountdownOnSuccessOrInSomeoneElsesTerminal) {
  const std::string missing = (root_ / "missing.xps").string();
  struct Case {
    std::vector<std::string> argv;
    int exitCode;
    bool titled;
  };
  const std::string sh = "/bin/sh";
  const std::vector<Case> cases{
      {{XPS2IMG, Fixture("text.xps"), out_.string(), "-d", "30"}, 0, true},
      {{sh, "-c", "\"$0\" \"$@\"; exit $?", XPS2IMG, missing, out_.string()}, 1, false},
      {{sh, "-c", "exec \"$0\" \"$@\" > /dev/null", XPS2IMG, missing, out_.string()}, 1, false},
      {{sh, "-c", "exec \"$0\" \"$@\" 2> /dev/null", XPS2IMG, missing, out_.string()}, 1, false},
  };
  for (const Case& c : cases) {
    TerminalRun run = RunInOwnTerminal(c.argv, {});  // the countdown as long as the user's
    EXPECT_EQ(run.exitCode, c.exitCode) << run.screen;
    EXPECT_EQ(run.screen.find("本窗口"), std::string::npos) << run.screen;
    EXPECT_EQ(run.screen.find("\033]0;") != std::string::npos, c.titled) << run.screen;
    EXPECT_LT(run.seconds, 10.0) << run.screen;
  }
}

}  // namespace
