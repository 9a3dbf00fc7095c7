#include "choose/choose_sources.h"

#include "base/texts.h"

namespace {

bool IsAbsolute(std::u16string_view name, PathStyle style) {
  if (style == PathStyle::Posix) return name.starts_with(u'/');
  return name.starts_with(u'\\') || name.starts_with(u'/') || (name.size() >= 2 && name[1] == u':');
}

}  // namespace

std::vector<std::u16string> JoinSelection(const FileSelection& selection, PathStyle style) {
  const char16_t separator = style == PathStyle::Windows ? u'\\' : u'/';
  std::vector<std::u16string> paths;
  paths.reserve(selection.names.size());
  for (const std::u16string& name : selection.names) {
    if (selection.folder.empty() || IsAbsolute(name, style)) {
      paths.push_back(name);
      continue;
    }
    std::u16string path = selection.folder;
    if (path.back() != separator) path += separator;
    paths.push_back(path + name);
  }
  return paths;
}

void ChooseSources(FormState& form, Desktop& desktop) {
  const auto selection = desktop.ChooseFiles(texts::kOpenDialogFilter);
  if (!selection) return;
  form.ReplaceSourceItems(JoinSelection(*selection, desktop.Style()));
}
