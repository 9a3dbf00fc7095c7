#include <gtest/gtest.h>

#include "app/layout.h"

namespace {

TEST(LayOutControls, InitialSizeGivesTheTablePositions) {
  const ControlRects rects = LayOutControls(form::kClientWidth, form::kClientHeight);
  for (std::size_t i = 0; i < form::kControls.size(); ++i) {
    const form::ControlSpec& c = form::kControls[i];
    EXPECT_EQ(rects[i], (Rect{c.left, c.top, c.width, c.height})) << "control at index " << i;
  }
}

TEST(LayOutControls, NarrowingKeepsPanel1GluedToTheRightEdge) {
  const ControlRects rects = LayOutControls(300, 200);
  EXPECT_EQ(RectOf(rects, u"Panel2"), (Rect{0, 0, 300, 33}));
  EXPECT_EQ(RectOf(rects, u"Panel1"), (Rect{58, 0, 242, 33}));
  EXPECT_EQ(RectOf(rects, u"StatusBar1"), (Rect{0, 181, 300, 19}));
  EXPECT_EQ(RectOf(rects, u"ListBox1"), (Rect{0, 33, 300, 148}));
  // The controls on the left stay where they were, now under Panel1.
  EXPECT_EQ(RectOf(rects, u"Button1"), (Rect{8, 6, 97, 21}));
  EXPECT_EQ(RectOf(rects, u"cbb1"), (Rect{216, 6, 58, 21}));
  EXPECT_EQ(RectOf(rects, u"Button3"), (Rect{183, 6, 58, 21}));

  // Narrower than Panel1 itself: it keeps its width and runs off the left edge.
  EXPECT_EQ(RectOf(LayOutControls(200, 100), u"Panel1"), (Rect{-42, 0, 242, 33}));
}

TEST(LayOutControls, WideningAndTinySizes) {
  const ControlRects wide = LayOutControls(900, 600);
  EXPECT_EQ(RectOf(wide, u"Panel1"), (Rect{658, 0, 242, 33}));
  EXPECT_EQ(RectOf(wide, u"ListBox1"), (Rect{0, 33, 900, 548}));
  EXPECT_EQ(RectOf(wide, u"StatusBar1"), (Rect{0, 581, 900, 19}));

  // Lower than the tool strip and the status bar together: the list shrinks to nothing.
  const ControlRects low = LayOutControls(100, 40);
  EXPECT_EQ(RectOf(low, u"ListBox1").height, 0);
  EXPECT_EQ(RectOf(low, u"StatusBar1"), (Rect{0, 21, 100, 19}));
  EXPECT_EQ(RectOf(LayOutControls(-5, -5), u"ListBox1"), (Rect{0, 33, 0, 0}));
}

TEST(LayOutControls, ScalesTheTableToTheScreen) {
  EXPECT_EQ(ScaleToDpi(33, 144), 50);  // 49.5 rounds up
  EXPECT_EQ(ScaleToDpi(-42, 120), -53);
  const ControlRects rects = LayOutControls(770, 449, 144);
  EXPECT_EQ(RectOf(rects, u"Panel2"), (Rect{0, 0, 770, 50}));
  EXPECT_EQ(RectOf(rects, u"Panel1"), (Rect{407, 0, 363, 50}));
  EXPECT_EQ(RectOf(rects, u"Button2"), (Rect{179, 9, 87, 32}));
  EXPECT_EQ(RectOf(rects, u"StatusBar1"), (Rect{0, 420, 770, 29}));
  EXPECT_EQ(RectOf(rects, u"ListBox1"), (Rect{0, 50, 770, 370}));
}

TEST(StatusPanelWidths, LastPanelTakesTheRest) {
  EXPECT_EQ(StatusPanelWidths(513), (std::array<int, 2>{400, 113}));
  EXPECT_EQ(StatusPanelWidths(350), (std::array<int, 2>{400, 0}));
  EXPECT_EQ(StatusPanelWidths(800, 192), (std::array<int, 2>{800, 0}));
  EXPECT_EQ(StatusPanelWidths(1000, 192), (std::array<int, 2>{800, 200}));
}

}  // namespace
