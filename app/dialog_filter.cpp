#include "app/dialog_filter.h"

std::vector<FilterRow> ParseDialogFilter(std::u16string_view filter) {
  std::vector<std::u16string> fields;
  std::size_t start = 0;
  while (start <= filter.size()) {
    std::size_t bar = filter.find(u'|', start);
    if (bar == std::u16string_view::npos) bar = filter.size();
    fields.emplace_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<FilterRow> rows;
  for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
    rows.push_back({fields[i], fields[i + 1]});
  }
  return rows;
}
