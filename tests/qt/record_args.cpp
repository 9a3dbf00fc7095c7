// Stands in for the converter: records what it was started with into its output folder
// (its second argument), as "<stem>.args", written under a temporary name and then renamed.
// The record holds, each ended by a NUL: the targets of descriptors 0, 1 and 2, the id of
// the process's session, then every argument after the program's path.
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

std::string Target(int fd) {
  char buffer[256];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer);
  return n < 0 ? "closed" : std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string record;
  for (int fd = 0; fd < 3; ++fd) record += Target(fd) + '\0';
  record += std::to_string(getsid(0)) + '\0';
  for (int i = 1; i < argc; ++i) record += std::string(argv[i]) + '\0';

  const std::string path = std::string(argv[2]) + "/" + argv[argc - 1] + ".args";
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return 1;
  const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
  if (std::fclose(file) != 0 || !written) return 1;
  return std::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : 1;
}
