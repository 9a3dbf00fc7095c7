#include "xps2img/engine/guard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "xps2img/engine/context.h"
#include "xps2img/writers/image_writer.h"

namespace {

// MuPDF stages as the engine writes them: C-style, the fz_try inside, a status out.
bool Succeeds(fz_context*) { return true; }

bool Throws(fz_context* ctx, const char* message) {
  bool ok = true;
  fz_var(ok);
  fz_try(ctx) { fz_throw(ctx, FZ_ERROR_GENERIC, "%s", message); }
  fz_catch(ctx) { ok = false; }
  return ok;
}

// MuPDF often goes on past an error it caught, with a warning.
bool RecoversFrom(fz_context* ctx, const char* message) {
  fz_try(ctx) { fz_throw(ctx, FZ_ERROR_GENERIC, "%s", message); }
  fz_catch(ctx) { fz_warn(ctx, "Ignoring error"); }
  return true;
}

bool RecoversFromNoMemory(fz_context* ctx) {
  fz_try(ctx) { fz_free(ctx, fz_malloc(ctx, std::size_t{64} << 20)); }
  fz_catch(ctx) { fz_warn(ctx, "Ignoring error"); }
  return true;
}

struct Context {
  Context() : ctx(fz_clone_context(SharedMupdfContext(32 << 20))) { ListenToMupdf(ctx); }
  ~Context() { fz_drop_context(ctx); }
  fz_context* ctx;
};

// The text of the `Kind` that `run` throws; else what went otherwise.
template <typename Kind, typename Run>
std::string Thrown(Run run) {
  try {
    run();
  } catch (const Kind& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("another kind: ") + e.what();
  }
  return "nothing thrown";
}

// Each way a stage ends reaches the caller as one exception of its own kind and text.
TEST(GuardedScope, EachFailureIsOneTypedException) {
  Context mupdf;
  fz_context* ctx = mupdf.ctx;
  PageLosses losses;
  {
    GuardedScope scope(ctx, nullptr, &losses, "读取页面");
    EXPECT_TRUE(scope.Run([&] { return Succeeds(ctx); }));
    EXPECT_TRUE(scope.Run([&] { return RecoversFrom(ctx, "broken image"); }));
    // RenderError, and none of its kinds.
    auto failed = [&] { scope.Run([&] { return Throws(ctx, "cannot find part"); }); };
    EXPECT_EQ(Thrown<OutOfMemory>(failed), "another kind: cannot find part");
    EXPECT_EQ(Thrown<PageStopped>(failed), "another kind: cannot find part");
    EXPECT_EQ(Thrown<RenderError>(
                  [&] { scope.Run([&] { return RecoversFrom(ctx, "zip bomb refused: 9 GB"); }); }),
              "部件解压后过大，疑为压缩炸弹，拒绝读取（zip bomb refused: 9 GB）");
  }
  EXPECT_THAT(losses.all(),
              testing::ElementsAre("部分内容无法绘制（Ignoring error：broken image）",
                                   "部分内容无法绘制（Ignoring error：zip bomb refused: 9 GB）"));
  {
    GuardedScope scope(ctx, nullptr, nullptr, "读取页面");
    EXPECT_EQ(Thrown<RenderError>(
                  [&] { scope.Run([&] { return Throws(ctx, "exception stack overflow!"); }); }),
              "页面元素嵌套过深或资源字典引用自身（exception stack overflow!）");
  }

  // A refusal past the cap fails the stage even when MuPDF went on without the memory.
  XpsDocument::SetMemoryCap(XpsDocument::MemoryInUse() + (std::size_t{16} << 20));
  std::string memoryText = Thrown<OutOfMemory>([&] {
    GuardedScope scope(ctx, nullptr, nullptr, "绘制页面");
    scope.Run("分配页带", [&] { return RecoversFromNoMemory(ctx); });
  });
  XpsDocument::SetMemoryCap(0);
  EXPECT_THAT(memoryText, testing::StartsWith("内存不足：分配页带时还需 64 MB，超过本转换器 "));

  // A stopped page ends as stopped, whatever MuPDF made of it.
  PageStop stop;
  stop.Stop();
  EXPECT_EQ(Thrown<PageStopped>([&] {
              GuardedScope scope(ctx, &stop, nullptr, "绘制页面");
              scope.Run([&] { return Throws(ctx, "aborted"); });
            }),
            "绘制页面时被中止");
}

// MuPDF's libjpeg warnings are the page's losses; the JPEG encoder's are not, even when it
// writes while a page's MuPDF work is under way on the same thread.
TEST(GuardedScope, OnlyMupdfsJpegWarningsAreLosses) {
  Context mupdf;
  PageLosses losses;
  {
    GuardedScope scope(mupdf.ctx, nullptr, &losses, "读取页面");
    // As MuPDF's decoder makes its error manager, and as libjpeg warns.
    jpeg_decompress_struct decoder{};
    jpeg_error_mgr errors{};
    decoder.err = jpeg_std_error(&errors);
    errors.msg_code = JWRN_JPEG_EOF;
    errors.emit_message(reinterpret_cast<j_common_ptr>(&decoder), -1);

    // One row too many for a one-row image: libjpeg warns, and the file is written all the same.
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    auto writer = NewJpegWriter(file, {1, 1, 72});
    const std::uint8_t pixel[3] = {10, 200, 30};
    writer->WriteRows(pixel, 3, 1);
    writer->WriteRows(pixel, 3, 1);
    writer->Finish();
    writer.reset();
    EXPECT_GT(std::ftell(file), 0);
    std::fclose(file);
  }
  EXPECT_THAT(losses.all(), testing::ElementsAre("图像无法解码（Premature end of JPEG file）"));
}

}  // namespace
