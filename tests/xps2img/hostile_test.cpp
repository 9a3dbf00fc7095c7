#include "harness.h"

namespace fs = std::filesystem;

namespace {

using Hostile = ConverterTest;

constexpr long kCapMb = 64;
constexpr int kBudgetSeconds = 2;
// What the process holds besides MuPDF's counted memory: code, encoders, and under the
// sanitizers their shadow memory and quarantine.
constexpr long kMarginMb = 192;
// Starting the process and the sound page, on a busy machine under the sanitizers.
constexpr int kMarginSeconds = 8;

// Page 1 of each document asks for gigabytes or minutes, page 2 is sound: page 1 fails with a
// message that names it and the reason, page 2 is written, and the converter stays within the
// memory cap and the time budget it was given (a stuck page is given up a second after it).
TEST_F(Hostile, HostilePageFailsAloneWithinTheCapAndTheBudget) {
  struct Case {
    std::string document, reason;
  };
  for (const Case& c :
       std::vector<Case>{{"hostile-inflate.xps", "部件解压后过大，疑为压缩炸弹"},
                         {"hostile-image.xps", "图像过大：声明 30000 × 20000 像素"},
                         {"hostile-gradient.xps", "内存不足"},
                         {"hostile-radial.xps", "内存不足"},
                         {"hostile-path.xps", "内存不足"},
                         {"hostile-nesting.xps", "页面元素嵌套过深"},
                         {"hostile-dictionary.xps", "页面元素嵌套过深或资源字典引用自身"},
                         {"hostile-stroke.xps", "超时：超过每页 2 秒的上限"}}) {
    fs::path folder = NewFolder(c.document);
    ProcessResult r =
        Convert({Fixture(c.document), folder.string(), "-d", "300", "--memory-mb",
                 std::to_string(kCapMb), "--page-seconds", std::to_string(kBudgetSeconds)});
    EXPECT_EQ(r.exitCode, 1) << c.document;
    EXPECT_NE(r.err.find("第 1 页无法转换（" + c.reason), std::string::npos) << r.err;
    EXPECT_LT(r.peakKiB, (kCapMb + kMarginMb) * 1024) << c.document;
    EXPECT_LT(r.seconds, kBudgetSeconds + 1 + kMarginSeconds) << c.document;
    EXPECT_EQ(Names(folder), std::vector<std::string>{"图2.png"}) << c.document;
  }
}

// The bombs are refused for what they declare, before anything is inflated or decoded: under
// the default cap, which would hold them, they still cost next to nothing.
TEST_F(Hostile, BombsAreRefusedBeforeTheyInflate) {
  for (const char* document : {"hostile-inflate.xps", "hostile-image.xps"}) {
    fs::path folder = NewFolder(document);
    ProcessResult r = Convert({Fixture(document), folder.string(), "-d", "30"});
    EXPECT_EQ(r.exitCode, 1) << document;
    EXPECT_NE(r.err.find("第 1 页无法转换"), std::string::npos) << r.err;
    EXPECT_LT(r.peakKiB, kMarginMb * 1024) << document;
  }
}

// A part may be stored as pieces, each looked up by name: a page of 60,000 pieces, named in
// capitals where the page refers to them in lower case, is read in well under its budget.
TEST_F(Hostile, APageOfTensOfThousandsOfPiecesIsReadWithinItsBudget) {
  ProcessResult r =
      Convert({Fixture("hostile-pieces.xps"), out_.string(), "-d", "36", "--page-seconds", "10"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Names(out_), (std::vector<std::string>{"图1.png", "图2.png"}));
}

}  // namespace

// What MuPDF cannot draw costs the page that part only: the page is written, the loss is
// reported in one line for that page, and the exit status stays 0. libjpeg's own complaint
// goes the same way rather than straight to standard error.
TEST_F(Hostile, LossesAreReportedOncePerPage) {
  ProcessResult r = Convert({Fixture("losses.xps"), out_.string(), "-d", "30"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Names(out_).size(), 5u);
  for (const char* line : {"第 1 页有内容未能画出：图像无法解码（cannot decode image",
                           "第 2 页有内容未能画出：资源无法解析（cannot find image source",
                           "第 3 页有内容未能画出：字体无法加载（cannot load font",
                           "第 4 页有内容未能画出：图像无法解码（Corrupt JPEG data"}) {
    EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
  }
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 4) << r.err;
}
