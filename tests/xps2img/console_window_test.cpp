#include <gtest/gtest.h>

#include "xps2img/platform/console_window.h"

namespace {

// The title names the document by its file name alone, with no character that would end a
// terminal's title escape or start a command of its own (C0, DEL, C1).
TEST(ConsoleWindow, TitleNamesTheDocumentSafely) {
  console_window::Outcome outcome{"/文档/季度 报告.xps", "/out", 3, 10, {}, 0};
  EXPECT_EQ(console_window::TitleText(outcome), "季度 报告.xps — 第 3/10 页");
  outcome.source = "/in/a\033]0;x\007\n\x7f\xc2\x9b\xc2\xa0.xps";
  EXPECT_EQ(console_window::TitleText(outcome, 1), "a?]0;x????\xc2\xa0.xps — 失败，已写入 3/10 页");
}

}  // namespace
