#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "xps2img/conversion/page_run.h"
#include "xps2img/conversion/pixel_limit.h"
#include "xps2img/engine/engine.h"

namespace {

using namespace std::chrono_literals;

std::string Fixture(const std::string& name) {
  return (std::filesystem::path(FIXTURES_DIR) / name).string();
}

// Loads and renders page `index` of `document` at `dpi` in bands of 64 rows.
void Draw(XpsDocument& document, int index, int dpi, PageStop* stop) {
  auto page = document.Prepare(index, dpi, kPixelLimit, stop, nullptr);
  auto renderer = document.NewRenderer();
  for (int y = 0; y < page->height(); y += 64) {
    renderer->Render(*page, y, std::min(64, page->height() - y), stop, nullptr);
  }
}

// A page stopped from another thread ends soon, whether it is being loaded or drawn, and
// leaves the document usable for the next page.
TEST(Engine, AStoppedPageEndsSoon) {
  auto document = XpsDocument::Open(Fixture("hostile-radial.xps"), 32 << 20, nullptr);
  for (auto delay : {0ms, 300ms, 1500ms}) {
    PageStop stop;
    std::thread stopper([&] {
      std::this_thread::sleep_for(delay);
      stop.Stop();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(Draw(*document, 0, 300, &stop), PageStopped) << delay.count();
    EXPECT_LT(std::chrono::steady_clock::now() - start, delay + 3s) << delay.count();
    stopper.join();
  }
  EXPECT_NO_THROW(Draw(*document, 1, 30, nullptr));
}

// Past the memory cap a page fails with OutOfMemory; MuPDF's memory falls back below the cap
// and the next page renders.
TEST(Engine, APagePastTheMemoryCapFailsAlone) {
  auto document = XpsDocument::Open(Fixture("hostile-gradient.xps"), 32 << 20, nullptr);
  XpsDocument::SetMemoryCap(std::size_t{64} << 20);
  try {
    Draw(*document, 0, 72, nullptr);
    ADD_FAILURE() << "no OutOfMemory";
  } catch (const OutOfMemory& e) {
    EXPECT_NE(std::string(e.what()).find("64 MB 的上限"), std::string::npos) << e.what();
  }
  EXPECT_LT(XpsDocument::MemoryInUse(), std::size_t{64} << 20);
  EXPECT_NO_THROW(Draw(*document, 1, 72, nullptr));
  XpsDocument::SetMemoryCap(0);
}

// A page listed twice is listed once, where it first appears, and each page is found by its
// number; a number past the last page is an error, not another page.
TEST(Engine, PagesAreFoundByNumberOnceEach) {
  auto document = XpsDocument::Open(Fixture("duplicate-pages.xps"), 32 << 20, nullptr);
  ASSERT_EQ(document->PageCount(nullptr), 3);
  for (int index = 0; index < 3; ++index) {
    auto page = document->Prepare(index, 96, kPixelLimit, nullptr, nullptr);
    int width = 200 + 100 * index;  // units of 1/96 inch
    EXPECT_EQ(page->width(), width) << index;
    EXPECT_EQ(page->height(), width / 2) << index;
  }
  EXPECT_THROW(document->Prepare(3, 96, kPixelLimit, nullptr, nullptr), RenderError);
  EXPECT_THROW(document->Prepare(-1, 96, kPixelLimit, nullptr, nullptr), RenderError);
}

}  // namespace

namespace {

// A document opened from its bytes in memory reads as the file does, page for page and pixel
// for pixel; bytes that are no document fail as a file of them does.
TEST(Engine, ADocumentFromMemoryReadsAsItsFile) {
  std::ifstream in(Fixture("text.xps"), std::ios::binary);
  const std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(in), {});
  auto fromFile = XpsDocument::Open(Fixture("text.xps"), 32 << 20, nullptr);
  auto fromMemory = XpsDocument::OpenBytes(bytes.data(), bytes.size(), 32 << 20, nullptr);
  ASSERT_EQ(fromMemory->PageCount(nullptr), fromFile->PageCount(nullptr));
  for (int index = 0; index < fromFile->PageCount(nullptr); ++index) {
    auto filePage = fromFile->Prepare(index, 30, kPixelLimit, nullptr, nullptr);
    auto memoryPage = fromMemory->Prepare(index, 30, kPixelLimit, nullptr, nullptr);
    ASSERT_EQ(memoryPage->width(), filePage->width()) << index;
    ASSERT_EQ(memoryPage->height(), filePage->height()) << index;
    auto fileRenderer = fromFile->NewRenderer();
    auto memoryRenderer = fromMemory->NewRenderer();
    Band a = fileRenderer->Render(*filePage, 0, filePage->height(), nullptr, nullptr);
    Band b = memoryRenderer->Render(*memoryPage, 0, memoryPage->height(), nullptr, nullptr);
    for (int y = 0; y < a.count; ++y) {
      ASSERT_EQ(std::memcmp(a.rows + y * a.stride, b.rows + y * b.stride,
                            static_cast<size_t>(filePage->width()) * 3),
                0)
          << "page " << index << " row " << y;
    }
  }
  const unsigned char junk[] = "PK\3\4 not a package";
  EXPECT_THROW(XpsDocument::OpenBytes(junk, sizeof junk, 32 << 20, nullptr), RenderError);
  EXPECT_THROW(XpsDocument::OpenBytes(junk, 0, 32 << 20, nullptr), RenderError);
}

}  // namespace
