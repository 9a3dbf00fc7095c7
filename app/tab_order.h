#pragma once

#include <string_view>
#include <vector>

// The controls that take the focus, in the order the Tab key visits them: the children of
// each parent by their tab order, a panel's own children in its place (a panel itself takes
// no focus). Within one parent the names keep that parent's tab order.
std::vector<std::u16string_view> TabSequence();
