#include "harness.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A new empty folder under the system's temporary folder.
fs::path MakeTempFolder(const std::string& prefix) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

}  // namespace

ExecVectors ForExec(const std::vector<std::string>& argv,
                    const std::vector<std::string>& extraEnv) {
  ExecVectors vectors;
  for (const std::string& a : argv) vectors.argv.push_back(const_cast<char*>(a.c_str()));
  vectors.argv.push_back(nullptr);
  for (const std::string& e : extraEnv) vectors.env.push_back(const_cast<char*>(e.c_str()));
  for (char** e = environ; *e; ++e) vectors.env.push_back(*e);
  vectors.env.push_back(nullptr);
  return vectors;
}

pid_t StartProcess(const std::vector<std::string>& argv, const std::string& outFile,
                   const std::string& errFile, const std::vector<std::string>& extraEnv) {
  auto [args, env] = ForExec(argv, extraEnv);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitProcess(pid_t pid, long* peakKiB) {
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return -1;
  if (peakKiB) *peakKiB = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnv) {
  fs::path folder = MakeTempFolder("xps2img-run-");
  if (folder.empty()) return {-1, "", "no temporary folder"};
  fs::path out = folder / "out", err = folder / "err";
  auto start = std::chrono::steady_clock::now();
  long peakKiB = 0;
  int code = WaitProcess(StartProcess(argv, out, err, extraEnv), &peakKiB);
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  ProcessResult result{code, ReadAll(out), ReadAll(err), peakKiB, seconds.count()};
  fs::remove_all(folder);
  return result;
}

ImageInfo Identify(const fs::path& image) {
  ProcessResult r = RunProcess({IDENTIFY, "-regard-warnings", "-units", "PixelsPerInch", "-format",
                                "%w %h %[colorspace] %x", image.string() + "[0]"});
  ImageInfo info;
  std::istringstream fields(r.out);
  if (r.exitCode != 0 || !(fields >> info.width >> info.height >> info.colourspace)) return {};
  fields >> info.dpi;
  return info;
}

long PixelsDiffering(const fs::path& a, const fs::path& b) {
  ProcessResult r = RunProcess({COMPARE, "-metric", "AE", a.string(), b.string(), "null:"});
  // compare exits 0 when equal, 1 when different, 2 on trouble; the count goes to stderr.
  if (r.exitCode != 0 && r.exitCode != 1) return -1;
  try {
    return std::stol(r.err);
  } catch (const std::exception&) {
    return -1;
  }
}

int LevelsDiffering(const fs::path& a, const fs::path& b) {
  ProcessResult r = RunProcess({COMPARE, "-metric", "PAE", a.string(), b.string(), "null:"});
  // On stderr: the peak in the library's quantum, then the same normalised, "257 (0.00392157)".
  std::size_t open = r.err.find('(');
  if ((r.exitCode != 0 && r.exitCode != 1) || open == std::string::npos) return -1;
  try {
    return static_cast<int>(std::lround(std::stod(r.err.substr(open + 1)) * 255));
  } catch (const std::exception&) {
    return -1;
  }
}

Rgb PixelAt(const fs::path& image, int x, int y) {
  std::string format;
  for (const char* channel : {"r", "g", "b"}) {
    format +=
        "%[fx:round(255*p{" + std::to_string(x) + "," + std::to_string(y) + "}." + channel + ")] ";
  }
  ProcessResult r = RunProcess({IDENTIFY, "-format", format, image.string()});
  Rgb rgb{-1, -1, -1};
  std::istringstream(r.out) >> rgb[0] >> rgb[1] >> rgb[2];
  return rgb;
}

Rgb LittleCmsSrgb(const std::string& profile, const std::string& cmyk) {
  ProcessResult r = RunProcess(
      {"/bin/sh", "-c",
       "echo '" + cmyk + "' | '" TRANSICC "' -i'" ICC_FOLDER "/" + profile + "' -t1 -b -n"});
  Rgb rgb{-1, -1, -1};
  std::istringstream out(r.out);
  for (int& c : rgb) {
    double v;
    if (out >> v) c = static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0)));
  }
  return rgb;
}

bool DrivesWindowsConverter() {
#ifdef XPS2IMG_IS_WINDOWS_CONVERTER
  return true;
#else
  return false;
#endif
}

std::string Fixture(const std::string& name) { return (fs::path(FIXTURES_DIR) / name).string(); }

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ConverterTest::SetUp() {
  root_ = MakeTempFolder("xps2img-test-");
  ASSERT_FALSE(root_.empty());
  out_ = NewFolder("out");
}

void ConverterTest::TearDown() {
  std::error_code ignored;
  fs::permissions(out_, fs::perms::owner_all, ignored);
  fs::remove_all(root_, ignored);
}

ProcessResult ConverterTest::Convert(const std::vector<std::string>& arguments,
                                     const std::vector<std::string>& extraEnv) {
  std::vector<std::string> argv{XPS2IMG};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProcess(argv, extraEnv);
}

void ConverterTest::RenderReference(const std::string& document, int dpi, const fs::path& folder) {
  ProcessResult r = RunProcess({MUTOOL, "draw", "-q", "-r", std::to_string(dpi), "-o",
                                (folder / "ref%d.png").string(), document});
  ASSERT_EQ(r.exitCode, 0) << r.err;
}

fs::path ConverterTest::NewFolder(const std::string& name) {
  fs::path folder = root_ / name;
  fs::create_directories(folder);
  return folder;
}

std::vector<int> HoldAllSlots(const fs::path& tmp, unsigned first) {
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
