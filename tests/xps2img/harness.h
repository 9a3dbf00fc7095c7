#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

// Black-box tests of the converter: they run the built xps2img, the sample documents of
// tests/fixtures, and mutool draw and ImageMagick as independent references.

struct ProcessResult {
  int exitCode;  // -1 when the process did not end normally
  std::string out;
  std::string err;
  long peakKiB = 0;    // the most resident memory the process had
  double seconds = 0;  // wall time
};

// `argv` and this process's environment with `extraEnv` on top, as exec takes them, each ended
// by a null; they point into the strings given.
struct ExecVectors {
  std::vector<char*> argv, env;
};
ExecVectors ForExec(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv);

// Starts `argv` (argv[0] is a path) with stdin closed, stdout and stderr into the files given,
// and `extraEnv` ("NAME=value") on top of this process's environment.
pid_t StartProcess(const std::vector<std::string>& argv, const std::string& outFile,
                   const std::string& errFile, const std::vector<std::string>& extraEnv = {});
// Waits for a started process and gives its exit status, or -1; its peak resident memory in
// KiB goes to `peakKiB` when given.
int WaitProcess(pid_t pid, long* peakKiB = nullptr);

// Runs `argv` to its end and gives its exit status and output.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnv = {});

struct ImageInfo {
  int width = 0;
  int height = 0;
  std::string colourspace;  // as ImageMagick names it: sRGB, Gray
  double dpi = 0;           // resolution in pixels per inch, 0 when the file has none
};

// What ImageMagick's identify reads from the image; width 0 when it cannot read it or warns.
ImageInfo Identify(const std::filesystem::path& image);

// The number of pixels that differ between two images, per ImageMagick's compare; -1 when
// they cannot be compared (different sizes, unreadable).
long PixelsDiffering(const std::filesystem::path& a, const std::filesystem::path& b);

// The largest difference of one channel between two images of the same size, in levels of 255,
// per ImageMagick's compare; -1 when they cannot be compared.
int LevelsDiffering(const std::filesystem::path& a, const std::filesystem::path& b);

using Rgb = std::array<int, 3>;

// The colour of pixel (x, y), per ImageMagick; {-1, -1, -1} when it cannot be read.
Rgb PixelAt(const std::filesystem::path& image, int x, int y);

// What Little CMS's transicc makes of `cmyk` ("C M Y K" in percent) through the profile of
// Ghostscript's named `profile` into sRGB, with MuPDF's default rendering intent (relative
// colorimetric with black point compensation), clipped and rounded to 8 bits.
Rgb LittleCmsSrgb(const std::string& profile, const std::string& cmyk);

// True when the program under test is the Windows converter under Wine (tests/xps2img_wine
// builds these tests so). The few tests of what only the POSIX converter does, or of what Wine
// cannot do, skip themselves then, each saying why in the log.
bool DrivesWindowsConverter();

// Why the render-slot tests do not run against the Windows converter.
inline constexpr const char* kSlotsAreLockFiles =
    "the Windows converter's render slots are named mutexes, not the lock files this test holds "
    "(tests/xps2img_win32 checks them)";

// A sample document made by tests/fixtures.
std::string Fixture(const std::string& name);

// The names in `folder`, hidden ones included, sorted.
std::vector<std::string> Names(const std::filesystem::path& folder);

// Takes the render slots from `first` on of the converters that use `tmp` as their temporary
// folder, as converters rendering on those cores would; closing the descriptors frees them.
std::vector<int> HoldAllSlots(const std::filesystem::path& tmp, unsigned first = 0);

// `folder` holds the three pages of text.xps `runs` times over, each run under a copy suffix
// of its own, and nothing else.
void ExpectCopies(const std::filesystem::path& folder, int runs);

// A test with a fresh, empty folder of its own, removed afterwards.
class ConverterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the converter with `arguments` (without the program name).
  ProcessResult Convert(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& extraEnv = {});
  // Renders `document` at `dpi` with mutool draw into `folder`, as ref1.png, ref2.png, …
  void RenderReference(const std::string& document, int dpi, const std::filesystem::path& folder);
  // A new empty folder inside the test's folder.
  std::filesystem::path NewFolder(const std::string& name);

  std::filesystem::path root_;
  std::filesystem::path out_;  // the output folder most tests use
};
