#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "xps2img/platform/platform.h"

namespace platform {
namespace {

std::string Reason(int error) {
  switch (error) {
    case ENOENT:
      return "不存在";
    case EACCES:
    case EPERM:
      return "没有访问权限";
    case EROFS:
      return "位于只读文件系统上";
    case ENOSPC:
      return "磁盘空间不足";
    case ENOTDIR:
      return "路径中有一段不是文件夹";
    case ENAMETOOLONG:
      return "路径太长";
    default:
      return std::strerror(error);
  }
}

class LockedFile : public HeldFile {
 public:
  LockedFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  // Removed while still locked, so that whoever locks it next sees it gone.
  ~LockedFile() override {
    unlink(path_.c_str());
    close(fd_);
  }

 private:
  std::string path_;
  int fd_;
};

// The cores the process may use, as it was given them: taken before any thread of it is kept to
// one (AcquireRenderSlot is first called on the main thread, before any slot is held).
const cpu_set_t* ProcessCores() {
  static const std::optional<cpu_set_t> cores = [] {
    cpu_set_t set;
    return sched_getaffinity(0, sizeof set, &set) == 0 ? std::optional(set) : std::nullopt;
  }();
  return cores ? &*cores : nullptr;
}

// Sets the cores of the calling thread, which the threads it starts from now on inherit, until
// it is destroyed, when the thread may run where it could before.
class CoreSetting {
 public:
  explicit CoreSetting(const cpu_set_t& cores) : thread_(gettid()) {
    if (sched_getaffinity(0, sizeof before_, &before_) != 0 || CPU_EQUAL(&before_, &cores)) return;
    set_ = sched_setaffinity(0, sizeof cores, &cores) == 0;
  }
  // Only the thread itself lets go: a thread id may be another's once its thread has ended.
  ~CoreSetting() {
    if (set_ && gettid() == thread_) sched_setaffinity(0, sizeof before_, &before_);
  }
  CoreSetting(const CoreSetting&) = delete;
  CoreSetting& operator=(const CoreSetting&) = delete;

 private:
  pid_t thread_;
  cpu_set_t before_;
  bool set_ = false;
};

// The `index`th of the process's cores, counted round them; none when it has only one.
std::optional<cpu_set_t> SlotCore(int index) {
  const cpu_set_t* allowed = ProcessCores();
  if (!allowed || CPU_COUNT(allowed) < 2) return std::nullopt;
  int wanted = index % CPU_COUNT(allowed);
  for (int core = 0; core < CPU_SETSIZE; ++core) {
    if (!CPU_ISSET(core, allowed) || wanted-- > 0) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(core, &one);
    return one;
  }
  return std::nullopt;
}

class FlockSlot : public RenderSlot {
 public:
  FlockSlot(int fd, int index) : fd_(fd), index_(index) {}
  // Unlocked before it is closed: the close is what wakes a waiting converter (SlotWatch), and
  // the kernel reports a close before it drops the lock the descriptor still holds.
  ~FlockSlot() override {
    pin_.reset();
    flock(fd_, LOCK_UN);
    close(fd_);
  }

  // A converter that had to wait for its slot runs where every core has a converter of its
  // own: its threads, which hand the page to one another, keep to one core, the slot's, so
  // that the scheduler does not queue one behind another converter while its own core idles.
  void KeepToCore() {
    if (std::optional<cpu_set_t> core = SlotCore(index_)) pin_.emplace(*core);
  }
  // A slot found free is held by a thread that may run on every core, even one started by a
  // thread kept to one: a second worker must not share its first worker's core while another
  // idles.
  void RunAnywhere() {
    if (const cpu_set_t* cores = ProcessCores()) pin_.emplace(*cores);
  }

 private:
  int fd_;
  int index_;  // which of the machine's slots
  std::optional<CoreSetting> pin_;
};

// The slot folder belongs to the user: other users cannot plant files or links in it.
std::string SlotFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = JoinPath(tmp && *tmp ? tmp : "/tmp", "vellumor-render-");
  folder += std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
    return {};
  }
  return folder;
}

int OpenSlot(const std::string& folder, int index) {
  std::string path = JoinPath(folder, "slot-" + std::to_string(index));
  return open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// The first place in the line of processes waiting for a render slot, held while it lives.
// Without the line file (an odd file system), every waiter watches the slots itself. The file
// is opened read-only, so that letting go of it does not wake SlotWatch.
class QueueTurn {
 public:
  explicit QueueTurn(const std::string& folder)
      : fd_(open(JoinPath(folder, "queue").c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                 0600)) {
    while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~QueueTurn() {
    if (fd_ >= 0) close(fd_);  // lets the next in line go
  }
  QueueTurn(const QueueTurn&) = delete;
  QueueTurn& operator=(const QueueTurn&) = delete;

 private:
  int fd_;
};

// Wakes when a slot may have been freed: a holder that lets go of its slot, or dies, closes
// the slot file, which inotify reports. A timeout covers whatever inotify misses. Closing an
// inotify descriptor waits for the kernel's grace period (milliseconds), so a converter keeps
// its watch until it ends rather than close it while it holds the slot it waited for.
class SlotWatch {
 public:
  explicit SlotWatch(const std::string& folder) : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
    if (fd_ >= 0 && inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE) < 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  SlotWatch(const SlotWatch&) = delete;
  SlotWatch& operator=(const SlotWatch&) = delete;

  void Wait() {
    pollfd watched{fd_, POLLIN, 0};
    poll(fd_ >= 0 ? &watched : nullptr, fd_ >= 0 ? 1 : 0, 100);
    char events[4096];
    while (fd_ >= 0 && read(fd_, events, sizeof events) > 0) {
    }
  }

 private:
  int fd_;
};

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

void CheckReadableFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw Failure(Reason(errno));
  if (S_ISDIR(st.st_mode)) throw Failure("是一个文件夹，不是文件");
  if (!S_ISREG(st.st_mode)) throw Failure("不是普通文件");
  if (access(path.c_str(), R_OK) != 0) throw Failure(Reason(errno));
}

void CheckFolder(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw Failure(Reason(errno));
  if (!S_ISDIR(st.st_mode)) throw Failure("不是文件夹");
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::FILE* CreateForWriting(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) return nullptr;
  // The lock tells RemoveIfAbandoned that a live process writes the file.
  std::FILE* file = fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0 ? nullptr : fdopen(fd, "wb");
  if (!file) {
    Failure failure(Reason(errno));
    if (fd >= 0) {
      unlink(path.c_str());
      close(fd);
    }
    throw failure;
  }
  return file;
}

bool RemoveIfAbandoned(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  bool abandoned = flock(fd, LOCK_EX | LOCK_NB) == 0;
  bool gone = abandoned && unlink(path.c_str()) == 0;
  close(fd);
  return gone;
}

std::unique_ptr<HeldFile> HoldFile(const std::string& path) {
  for (;;) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw Failure(Reason(errno));
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      close(fd);
      if (error == EWOULDBLOCK) return nullptr;
      throw Failure(Reason(error));
    }
    // The holder before may have removed the file between its opening and its locking here:
    // the lock only counts on the file that still has the name.
    struct stat held, named;
    if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      return std::make_unique<LockedFile>(path, fd);
    }
    close(fd);
  }
}

bool Seek(std::FILE* file, std::int64_t offset, int whence) {
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

std::int64_t Tell(std::FILE* file) { return static_cast<std::int64_t>(ftello(file)); }

void MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno != EINVAL && errno != ENOSYS) {
    throw Failure(errno == EEXIST ? "目标文件已存在" : Reason(errno));
  }
  // The file system cannot rename without replacing: a hard link fails on an existing name.
  if (link(from.c_str(), to.c_str()) != 0) {
    throw Failure(errno == EEXIST ? "目标文件已存在" : Reason(errno));
  }
  unlink(from.c_str());
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

int CoreCount() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

std::uint64_t PhysicalMemory() {
  long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && size > 0
             ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size)
             : 0;
}

void* MapMemory(std::size_t size) {
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  if (size == 0 || size > SIZE_MAX - kHuge) return nullptr;
  // Mapped with room to start at a huge page's boundary; what lies outside is unmapped again.
  // A block that holds no whole huge page needs none.
  std::size_t length = size < kHuge ? size : size + kHuge;
  void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto at = reinterpret_cast<std::uintptr_t>(mapped);
  std::uintptr_t start = size < kHuge ? at : (at + kHuge - 1) & ~(kHuge - 1);
  std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGE_SIZE));
  std::uintptr_t end = (start + size + page - 1) & ~(page - 1);
  if (start > at) munmap(mapped, start - at);
  if (at + length > end) munmap(reinterpret_cast<void*>(end), at + length - end);
  // Only whole huge pages: a tail in one would clear 2 MiB for a part of them. Where the system
  // gives none, the advice is refused and small pages serve.
  if (std::size_t whole = size & ~(kHuge - 1)) {
    madvise(reinterpret_cast<void*>(start), whole, MADV_HUGEPAGE);
  }
  return reinterpret_cast<void*>(start);
}

void UnmapMemory(void* block, std::size_t size) { munmap(block, size); }

std::unique_ptr<RenderSlot> AcquireRenderSlot() {
  static const std::string folder = SlotFolder();
  if (folder.empty()) return nullptr;
  std::vector<int> fds;
  auto closeAll = [&fds] {
    for (int fd : fds) {
      if (fd >= 0) close(fd);
    }
  };
  for (int i = 0; i < CoreCount(); ++i) {
    fds.push_back(OpenSlot(folder, i));
    if (fds.back() < 0) {
      closeAll();
      return nullptr;
    }
  }
  auto take = [&fds]() -> std::unique_ptr<FlockSlot> {
    for (std::size_t index = 0; index < fds.size(); ++index) {
      if (flock(fds[index], LOCK_EX | LOCK_NB) != 0) continue;
      return std::make_unique<FlockSlot>(std::exchange(fds[index], -1), static_cast<int>(index));
    }
    return nullptr;
  };
  ProcessCores();
  std::unique_ptr<FlockSlot> slot = take();
  if (slot) {
    slot->RunAnywhere();
  } else {
    // Every slot is busy: wait in line. The kernel keeps the line (a blocking lock on one
    // file) and wakes one waiter at a time, so that hundreds of waiting converters cost no
    // processor time; only the first in line watches the slots.
    QueueTurn turn(folder);
    // Never destroyed (see SlotWatch). Without the line file, threads of one converter may
    // wait on it at once; one may then miss a wake and wait out the timeout.
    static SlotWatch& watch = *new SlotWatch(folder);
    for (slot = take(); !slot; slot = take()) watch.Wait();
    slot->KeepToCore();
  }
  closeAll();
  return slot;
}

void PrintLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace platform
