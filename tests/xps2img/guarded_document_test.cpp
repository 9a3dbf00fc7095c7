#include "xps2img/conversion/guarded_document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "xps2img/conversion/page_run.h"
#include "xps2img/conversion/pixel_limit.h"
#include "xps2img/platform/platform.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// How a scripted stage behaves: done at once, busy until it is stopped, or deaf to its stop
// (MuPDF code that nothing interrupts) for longer than any budget here.
enum class Pace { kQuick, kStoppable, kDeaf };

void Take(Pace pace, PageStop* stop, const char* stage) {
  stop->Attach(nullptr, stage);
  if (pace == Pace::kQuick) return;
  auto until = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < until) {
    if (pace == Pace::kStoppable && stop->stopped()) throw PageStopped(stage);
    std::this_thread::sleep_for(10ms);
  }
}

class WhitePage : public PreparedPage {
 public:
  int width() const override { return 8; }
  int height() const override { return 4; }
  int dpi() const override { return 72; }
  bool grey() const override { return true; }
};

class WhiteRenderer : public BandRenderer {
 public:
  Band Render(const PreparedPage& page, int, int count, PageStop*, PageLosses*) override {
    rows_.assign(static_cast<size_t>(page.width() * 3 * count), 255);
    return {rows_.data(), page.width() * 3, count};
  }
  void RenderInto(const PreparedPage& page, int, int count, std::uint8_t* rows,
                  std::ptrdiff_t stride, PageStop*, PageLosses*) override {
    for (int y = 0; y < count; ++y) std::fill_n(rows + y * stride, page.width() * 3, 255);
  }

 private:
  std::vector<std::uint8_t> rows_;
};

// The paces of a document's stages, how often it was opened and its pages loaded, and the
// threads each stage ran on, in turn.
struct Script {
  std::vector<Pace> opens;  // the pace of each opening; past the last, failing
  std::vector<Pace> pages;  // checking or loading page i
  std::atomic<int> opened{0}, loads{0};
  std::mutex mutex{};
  std::vector<std::thread::id> threads{};

  void RanHere() {
    std::lock_guard lock(mutex);
    threads.push_back(std::this_thread::get_id());
  }
  std::set<std::thread::id> ThreadsOf(size_t first, size_t last) {
    std::lock_guard lock(mutex);
    return {threads.begin() + static_cast<std::ptrdiff_t>(first),
            threads.begin() + static_cast<std::ptrdiff_t>(last)};
  }
};

class ScriptedDocument : public XpsDocument {
 public:
  explicit ScriptedDocument(Script& script) : script_(script) {
#ifdef __SANITIZE_ADDRESS__
    // A document given up on is never released, on purpose.
    __lsan_ignore_object(this);
#endif
  }
  int PageCount(PageStop*) override {
    script_.RanHere();
    return static_cast<int>(script_.pages.size());
  }
  void CheckSize(int index, int, const PixelLimit&, PageStop* stop) override {
    script_.RanHere();
    ++script_.loads;
    Take(script_.pages[static_cast<size_t>(index)], stop, "读取页面");
  }
  std::unique_ptr<PreparedPage> Prepare(int index, int, const PixelLimit&, PageStop* stop,
                                        PageLosses*) override {
    CheckSize(index, 0, kPixelLimit, stop);
    return std::make_unique<WhitePage>();
  }
  std::unique_ptr<BandRenderer> NewRenderer() override { return std::make_unique<WhiteRenderer>(); }

 private:
  Script& script_;
};

GuardedDocument::Opener OpenScripted(Script& script) {
  return [&script](PageStop* stop) -> std::unique_ptr<XpsDocument> {
    script.RanHere();
    auto n = static_cast<size_t>(script.opened++);
    if (n >= script.opens.size()) throw RenderError("无法打开");
    Take(script.opens[n], stop, "打开文档");
    return std::make_unique<ScriptedDocument>(script);
  };
}

constexpr auto kBudget = 1s;  // and its grace, 1 s

// A stage that answers its stop fails alone and the document goes on; one deaf to it is given
// up after the budget and its grace, and the next page is read from the document opened anew.
// A page whose check failed fails again without being loaded twice. The stages share one
// thread, not the caller's, until one is given up; the stages after it share another.
TEST(GuardedDocument, AStageStoppedOrGivenUpCostsItsPageOnly) {
  Script script{{Pace::kQuick, Pace::kQuick},
                {Pace::kQuick, Pace::kStoppable, Pace::kDeaf, Pace::kQuick}};
  GuardedDocument document(OpenScripted(script), kBudget);
  document.Open();
  EXPECT_EQ(document.PageCount(), 4);
  EXPECT_NE(document.Prepare(0, 72, kPixelLimit, nullptr), nullptr);
  try {
    document.Prepare(1, 72, kPixelLimit, nullptr);
    ADD_FAILURE() << "page 2 was not stopped";
  } catch (const PageStopped& e) {
    EXPECT_STREQ(e.stage, "读取页面");
  }
  EXPECT_FALSE(document.abandoned());

  auto start = std::chrono::steady_clock::now();
  try {
    document.CheckSize(2, 72, kPixelLimit);
    ADD_FAILURE() << "page 3 was not given up";
  } catch (const StageGivenUp& e) {
    EXPECT_STREQ(e.stage, "读取页面");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, 2 * kBudget);
  EXPECT_TRUE(document.abandoned());
  EXPECT_THROW(document.Prepare(2, 72, kPixelLimit, nullptr), StageGivenUp);
  EXPECT_EQ(script.loads, 3);

  EXPECT_NE(document.Prepare(3, 72, kPixelLimit, nullptr), nullptr);
  EXPECT_EQ(script.opened, 2);

  // Open, count, pages 1 to 3; then the opening anew and page 4.
  ASSERT_EQ(script.threads.size(), 7u);
  auto before = script.ThreadsOf(0, 5), after = script.ThreadsOf(5, 7);
  EXPECT_EQ(before.size(), 1u);
  EXPECT_EQ(after.size(), 1u);
  EXPECT_NE(*before.begin(), *after.begin());
  EXPECT_NE(*before.begin(), std::this_thread::get_id());
  EXPECT_NE(*after.begin(), std::this_thread::get_id());
}

// An opening deaf to its stop is given up; a document that cannot be opened anew fails every
// later page with that reason, tried once.
TEST(GuardedDocument, OpeningGivenUpOrFailingEndsTheDocument) {
  Script deaf{{Pace::kDeaf}, {Pace::kQuick}};
  GuardedDocument unopened(OpenScripted(deaf), kBudget);
  EXPECT_THROW(unopened.Open(), StageGivenUp);
  EXPECT_TRUE(unopened.abandoned());

  Script once{{Pace::kQuick}, {Pace::kDeaf, Pace::kQuick, Pace::kQuick}};
  GuardedDocument document(OpenScripted(once), kBudget);
  document.Open();
  EXPECT_THROW(document.Prepare(0, 72, kPixelLimit, nullptr), StageGivenUp);
  for (int page : {1, 2}) {
    try {
      document.Prepare(page, 72, kPixelLimit, nullptr);
      ADD_FAILURE() << page;
    } catch (const RenderError& e) {
      EXPECT_STREQ(e.what(), "无法打开") << page;
    }
  }
  EXPECT_EQ(once.opened, 2);
}

// A page run whose page cannot be stopped writes its other pages, names the page, the budget
// and the stage, and reports the work it left behind, so that the converter ends by itself
// (the process-level test: the hostile stroke document).
TEST(GuardedDocument, APageRunWithAStageGivenUpReportsItLeftWorkBehind) {
  fs::path folder = fs::temp_directory_path() / ("guarded-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  Options options;
  options.source = "scripted.xps";
  options.outputFolder = folder.string();
  options.pageSeconds = 1;
  Script script{{Pace::kQuick, Pace::kQuick}, {Pace::kDeaf, Pace::kQuick}};
  // Work left behind may still use the document and the run: both are never released.
  auto* document = new GuardedDocument(OpenScripted(script), kBudget);
  document->Open();
  auto* run =
      new PageRun(options, *document, ReserveNames(options.outputFolder, "图", 2, options.format),
                  platform::AcquireRenderSlot());
#ifdef __SANITIZE_ADDRESS__
  __lsan_ignore_object(document);
  __lsan_ignore_object(run);
#endif
  testing::internal::CaptureStderr();
  ConversionEnd end = run->Run();
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(end.code, ExitCode::kFailure);
  EXPECT_TRUE(end.leftBehind);
  EXPECT_NE(errors.find("第 1 页无法转换（超时：超过每页 1 秒的上限（--page-seconds），当时正在读取"
                        "页面，且无法中止）；已写入 1 页，共 2 页"),
            std::string::npos)
      << errors;
  EXPECT_TRUE(fs::exists(folder / "图2.png"));
  EXPECT_FALSE(fs::exists(folder / "图1.png"));
  fs::remove_all(folder);
}

// A page run that leaves nothing behind says so: its caller may release it.
TEST(GuardedDocument, APageRunWithEveryStageDoneLeavesNothingBehind) {
  fs::path folder = fs::temp_directory_path() / ("guarded-done-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  // Render slots of its own: a worker still waiting for a slot that a converter of another test
  // holds would be left behind, and then outlive the run it works for.
  ::setenv("TMPDIR", folder.c_str(), 1);
  Options options;
  options.outputFolder = folder.string();
  Script script{{Pace::kQuick}, {Pace::kQuick, Pace::kQuick}};
  GuardedDocument document(OpenScripted(script), kBudget);
  document.Open();
  ConversionEnd end =
      PageRun(options, document, ReserveNames(options.outputFolder, "图", 2, options.format),
              platform::AcquireRenderSlot())
          .Run();
  EXPECT_EQ(end.code, ExitCode::kSuccess);
  EXPECT_FALSE(end.leftBehind);
  EXPECT_TRUE(fs::exists(folder / "图1.png") && fs::exists(folder / "图2.png"));
  fs::remove_all(folder);
}

}  // namespace
