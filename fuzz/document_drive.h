#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "xps2img/engine/engine.h"

// One document's bytes driven through the converter's library as the converter drives a file,
// from memory: opened, its pages counted, the first pages checked, loaded and drawn at a low
// resolution, each encoded by every writer into memory. For the fuzzer and its regression
// corpus.

// The pages of a document that are drawn, and the resolutions chosen from among.
inline constexpr int kDrivenPages = 3;
inline constexpr int kLowestDpi = 24;
inline constexpr int kHighestDpi = 48;
// MuPDF's memory cap: the least the converter ever sets.
inline constexpr std::size_t kDriveMemoryCap = std::size_t{256} << 20;
// The budget of each stage of the document and of each page. The converter's default is 120 s;
// a tenth of that finds a page that ignores its budget within minutes, not hours. A fuzzer that
// runs on what CPU other work leaves it may be given more in FUZZ_BUDGET_SECONDS, so that a
// stage it is starved in is not taken for one that ignores its stop.
inline constexpr std::chrono::seconds kDriveBudget{10};
std::chrono::seconds DriveBudget();
// The largest page drawn: at most the converter's sides, and 4 million pixels (a page 18 times
// A4 at 48 dpi), so that no input spends seconds filling white.
inline constexpr PixelLimit kDrivePixelLimit{65000, 4e6};

struct DriveResult {
  int dpi = 0;
  int pageCount = -1;  // -1 when the document could not be opened or counted
  int images = 0;      // images encoded, of every page and format
  // Why the document, a page or one page's image failed, each "what: reason".
  std::vector<std::string> failures;
  // A stage went on past its budget and grace although stopped: MuPDF code that nothing
  // interrupts. Its thread is left running.
  bool abandoned = false;
  // An image that the writer finished but that does not start as its format does.
  std::vector<std::string> malformed;
};

// The resolution an input is drawn at: from kLowestDpi to kHighestDpi, by its size.
int DriveDpi(std::size_t size);

// Drives the `size` bytes at `data`, which must outlive the call and, if `abandoned` comes back
// set, the process.
DriveResult DriveDocument(const std::uint8_t* data, std::size_t size);

// What in `result` is a fault of the converter, in one line, or empty: a stage given up, an
// image that is not one, a failure without a reason, a document that neither opened nor failed.
std::string DriveFault(const DriveResult& result);
