#include "app/qt/posix_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

int CreateExclusive(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int error = 0;
  while (!bytes.empty() && error == 0) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written == 0 || errno != EINTR) {
      error = written == 0 ? EIO : errno;
    }
  }
  if (close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error != 0) unlink(path.c_str());
  return error;
}
