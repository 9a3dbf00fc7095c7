#include <gtest/gtest.h>

#include "xps2img/engine/messages.h"

namespace {

TEST(LossText, AReasonInChineseThenMupdfsText) {
  struct Case {
    std::string warning, cause, text;
  };
  for (const Case& c : std::vector<Case>{
           {"cannot decode image resource", "premature end of data in png image",
            "图像无法解码（cannot decode image resource：premature end of data in png image）"},
           {"cannot find image source", "", "资源无法解析（cannot find image source）"},
           {"cannot load font resource '/f.ttf'", "",
            "字体无法加载（cannot load font resource '/f.ttf'）"},
           {"Ignoring error during interpretation", "x",
            "部分内容无法绘制（Ignoring error during interpretation：x）"},
           {"unknown brush tag", "", "页面内容有误（unknown brush tag）"},
           // Nothing is lost through these.
           {"ICC support is not available", "", ""},
           {"found duplicate fz_icc_link in the store", "", ""},
           {"... repeated 3 times...", "", ""}}) {
    EXPECT_EQ(LossText(c.warning, c.cause), c.text) << c.warning;
  }
}

}  // namespace
