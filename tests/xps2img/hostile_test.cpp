#include "harness.h"

namespace fs = std::filesystem;

namespace {

using Hostile = ConverterTest;

constexpr long kCapMb = 64;
// What the process holds besides MuPDF's counted memory: code, encoders, and under the
// sanitizers their shadow memory and quarantine.
constexpr long kMarginMb = 192;

// Page 1 of each document asks for gigabytes or minutes, page 2 is sound: page 1 fails with a
// message that names it and the reason, page 2 is written, and the converter stays within the
// memory cap it was given.
TEST_F(Hostile, HostilePageFailsAloneWithinTheCap) {
  struct Case {
    std::string document, reason;
  };
  for (const Case& c : std::vector<Case>{{"hostile-inflate.xps", "内存不足：读取页面"},
                                         {"hostile-image.xps", "内存不足：绘制页面"},
                                         {"hostile-gradient.xps", "内存不足"},
                                         {"hostile-path.xps", "内存不足"}}) {
    fs::path folder = NewFolder(c.document);
    ProcessResult r = Convert(
        {Fixture(c.document), folder.string(), "-d", "300", "--memory-mb", std::to_string(kCapMb)});
    EXPECT_EQ(r.exitCode, 1) << c.document;
    EXPECT_NE(r.err.find("第 1 页无法转换（" + c.reason), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("64 MB 的上限"), std::string::npos) << r.err;
    EXPECT_LT(r.peakKiB, (kCapMb + kMarginMb) * 1024) << c.document;
    EXPECT_EQ(Names(folder), std::vector<std::string>{"图2.png"}) << c.document;
  }
}

}  // namespace
