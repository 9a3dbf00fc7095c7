#include "app/qt/posix_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// The grandchild's side: only async-signal-safe calls between fork and exec, since the
// caller may run several threads. `keepFd`, when not -1, stays open as descriptor 3.
[[noreturn]] void ExecInChild(char* const* argv, const char* workingDirectory, int keepFd) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &byDefault, nullptr);

  if (keepFd >= 0 && keepFd < 3) keepFd = fcntl(keepFd, F_DUPFD, 3);
  const int null = open("/dev/null", O_RDWR);
  if (null < 0) _exit(127);
  for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
  int firstToClose = 3;
  if (keepFd >= 0) {
    if (keepFd == 3) {
      fcntl(3, F_SETFD, 0);
    } else {
      dup2(keepFd, 3);
    }
    firstToClose = 4;
  }
  close_range(firstToClose, ~0u, 0);
  if (workingDirectory[0] != '\0' && chdir(workingDirectory) != 0) _exit(127);
  execv(argv[0], argv);
  _exit(127);
}

int WaitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Forks twice: the middle process leaves the caller's session and exits at once, so the
// program runs as an orphan that init reaps.
bool Spawn(const std::vector<std::string>& arguments, const std::string& workingDirectory,
           int keepFd) {
  if (arguments.empty()) return false;
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t middle = fork();
  if (middle < 0) return false;
  if (middle == 0) {
    setsid();
    const pid_t program = fork();
    if (program == 0) ExecInChild(argv.data(), workingDirectory.c_str(), keepFd);
    _exit(program < 0 ? 1 : 0);
  }
  return WaitForExit(middle) == 0;
}

}  // namespace

bool StartDetached(const std::vector<std::string>& arguments, const std::string& workingDirectory) {
  return Spawn(arguments, workingDirectory, -1);
}

bool RunDetachedAndWait(const std::vector<std::string>& arguments,
                        const std::string& workingDirectory, std::chrono::milliseconds limit) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  const bool started = Spawn(arguments, workingDirectory, ends[1]);
  close(ends[1]);
  // The write end lives on only in the program: end of file says it has ended.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (started) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd readable{ends[0], POLLIN, 0};
    const int ready =
        poll(&readable, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char byte;
    const ssize_t got = read(ends[0], &byte, 1);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) break;
  }
  close(ends[0]);
  return started;
}
