#include <gtest/gtest.h>

#include "xps2img/console_window.h"

namespace {

using console_window::Outcome;

// The title names the document by its file name alone, with no character that would end a
// terminal's title escape or start a command of its own.
TEST(ConsoleWindow, TitleNamesTheDocumentAndItsProgress) {
  Outcome outcome{"/文档/季度 报告.xps", "/out", 0, 0, {}, 0};
  EXPECT_EQ(console_window::TitleText(outcome), "季度 报告.xps");
  outcome.written = 3;
  outcome.total = 10;
  EXPECT_EQ(console_window::TitleText(outcome), "季度 报告.xps — 第 3/10 页");
  EXPECT_EQ(console_window::TitleText(outcome, 1), "季度 报告.xps — 失败，已写入 3/10 页");
  outcome.source = "/in/a\033]0;x\007\n\x7f\xc2\x9b\xc2\xa0.xps";
  EXPECT_EQ(console_window::TitleText(outcome, 0), "a?]0;x????\xc2\xa0.xps — 完成");
  outcome.errors = {"xps2img: 第 2 页有内容未能画出"};
  EXPECT_EQ(console_window::TitleText(outcome, 0), "a?]0;x????\xc2\xa0.xps — 完成，有内容未能画出");
  EXPECT_EQ(console_window::TitleText(Outcome{}, 2), "xps2img — 命令行有误");
}

TEST(ConsoleWindow, SummarySaysWhatWasWrittenAndWhy) {
  const Outcome outcome{"/in/a.xps", "/out", 2, 9, {"e1", "e2", "e3", "e4", "e5"}, 4};
  EXPECT_EQ(console_window::SummaryLines(outcome, 1),
            (std::vector<std::string>{"", "转换未全部完成。", "文档：/in/a.xps",
                                      "已写入 2 页，共 9 页，位于 /out", "原因：", "  e1", "  e2",
                                      "  e3", "  e4", "  e5", "  另有 4 条，见上"}));
}

// Tests shorten the countdown; nothing lengthens it or turns it into a wait without end.
TEST(ConsoleWindow, OnlyAShorterCountdownIsTaken) {
  struct Case {
    const char* setting;
    int seconds;
  };
  for (const Case& c : std::vector<Case>{{nullptr, 15},
                                         {"0", 0},
                                         {"2", 2},
                                         {"14", 14},
                                         {"15", 15},
                                         {"3600", 15},
                                         {"99999999999", 15},
                                         {"-1", 15},
                                         {"2s", 15},
                                         {" 2", 15},
                                         {"", 15}}) {
    EXPECT_EQ(console_window::LingerSeconds(c.setting), c.seconds) << (c.setting ? c.setting : "");
  }
}

}  // namespace
