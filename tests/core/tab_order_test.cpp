#include <gtest/gtest.h>

#include "app/tab_order.h"

namespace {

TEST(TabSequence, VisitsPanelsInPlaceByTheirTabOrder) {
  EXPECT_EQ(TabSequence(), (std::vector<std::u16string_view>{u"ListBox1", u"Button1", u"Button2",
                                                             u"ComboBox1", u"Button3", u"cbb1"}));
}

}  // namespace
