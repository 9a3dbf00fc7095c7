#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

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

}  // namespace
