#include <pty.h>
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
// terminal, a new pseudo-terminal, holds its standard streams.
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
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) != 0;) {  // EIO once it has ended
    if (n > 0) run.screen.append(buffer, static_cast<std::size_t>(n));
    if (n < 0 && errno != EINTR) break;
  }
  close(terminal);
  run.exitCode = WaitProcess(pid);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

using Window = ConverterTest;

// In a terminal of its own, a converter where anything went wrong (a failure, a page's losses,
// a command line it refuses) says what it wrote and why, counts down and ends by itself with
// its status; its title follows the pages. One that succeeds, one that shares the terminal of
// the shell that started it, or one whose output is redirected ends at once, and the last two
// leave the terminal's title alone.
TEST_F(Window, AFailureStaysOnScreenForTheCountdownOnlyInAWindowOfItsOwn) {
  const std::string missing = (root_ / "无此文件.xps").string(), out = out_.string();
  const std::string sh = "/bin/sh", conv = XPS2IMG;
  struct Case {
    std::vector<std::string> argv;
    int exitCode;
    std::vector<std::string> shown;  // none: it must not linger
  };
  const std::vector<Case> cases{
      {{conv, missing, out},
       1,
       {"转换失败。\r\n文档：" + missing, "原因：\r\n  xps2img: 无法读取"}},
      {{conv, Fixture("bad-page.xps"), out, "-d", "30", "-i", "坏"},
       1,
       {"已写入 2 页，共 3 页，位于 " + out, "\033]0;bad-page.xps — 第 2/3 页\007",
        "\033]0;bad-page.xps — 失败，已写入 2/3 页\007"}},
      {{conv, Fixture("losses.xps"), out, "-d", "30", "-i", "损"}, 0, {"部分内容未能画出"}},
      {{conv, Fixture("text.xps"), out, "-f", "xyz"}, 2, {"命令行有误", "不支持的格式“xyz”"}},
      {{conv, Fixture("text.xps"), out, "-d", "30"}, 0, {}},
      {{sh, "-c", "\"$0\" \"$@\"; exit $?", conv, missing, out}, 1, {}},
      {{sh, "-c", "exec \"$0\" \"$@\" > /dev/null", conv, missing, out}, 1, {}},
      {{sh, "-c", "exec \"$0\" \"$@\" 2> /dev/null", conv, missing, out}, 1, {}},
  };
  for (const Case& c : cases) {
    const bool lingers = !c.shown.empty();
    // Where it must not linger, the countdown is as long as the user's.
    const TerminalRun run =
        RunInOwnTerminal(c.argv, {lingers ? "XPS2IMG_LINGER_SECONDS=2" : "XPS2IMG_UNUSED=1"});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.screen;
    if (c.argv[0] == sh) {  // no title in the shell's terminal
      EXPECT_EQ(run.screen.find("\033]0;"), std::string::npos);
    }
    for (const std::string& text : c.shown) {
      EXPECT_NE(run.screen.find(text), std::string::npos) << text << "\n" << run.screen;
    }
    const auto two = run.screen.find("\r本窗口 2 秒后自动关闭");
    const auto one = run.screen.find("\r本窗口 1 秒后自动关闭");
    if (lingers) {
      EXPECT_TRUE(two != std::string::npos && one > two && one != std::string::npos);
      EXPECT_GE(run.seconds, 2.0);
    } else {
      EXPECT_EQ(run.screen.find("本窗口"), std::string::npos) << run.screen;
      EXPECT_LT(run.seconds, 10.0);
    }
  }
}

}  // namespace
