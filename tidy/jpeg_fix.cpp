#include "tidy/jpeg_fix.h"

#include "base/decimal_text.h"
#include "base/operation_error.h"
#include "base/texts.h"

namespace {

using namespace std::chrono_literals;

constexpr int kMaxScriptAttempts = 100;
constexpr auto kScriptWaitLimit = 10s;
constexpr auto kScriptReadPause = 1000ms;

}  // namespace

std::string_view JpegFixScriptText(PathStyle style) {
  if (style == PathStyle::Windows) return "rename *.jpeg *.jpg\r\n";
  return "for f in *.jpeg; do [ -f \"$f\" ] && [ ! -e \"${f%.jpeg}.jpg\" ] && "
         "mv -n -- \"$f\" \"${f%.jpeg}.jpg\"; done\n";
}

std::u16string JpegFixScriptPath(std::u16string_view folder, int attempt, PathStyle style) {
  const bool windows = style == PathStyle::Windows;
  std::u16string path(folder);
  path += windows ? u"\\rename" : u"/rename";
  if (attempt > 1) {
    path += u'-';
    path += DecimalText(attempt);
  }
  path += windows ? u".bat" : u".sh";
  return path;
}

void FixJpegExtensions(const FormState& form, Desktop& desktop) {
  const std::u16string folder = form.OutputDirectory();
  if (folder.empty() || !desktop.FolderExists(folder)) {
    desktop.ShowMessage(texts::kFolderMissingMessage);
    return;
  }
  const PathStyle style = desktop.Style();
  std::u16string script;
  for (int attempt = 1;; ++attempt) {
    if (attempt > kMaxScriptAttempts) {
      throw OperationError(CreateFileErrorMessage(JpegFixScriptPath(folder, 1, style),
                                                  u"该名称及其后续备用名称均已被占用"));
    }
    script = JpegFixScriptPath(folder, attempt, style);
    if (desktop.CreateNewFile(script, JpegFixScriptText(style))) break;
  }
  if (!desktop.RunScript(script, folder, kScriptWaitLimit)) desktop.Pause(kScriptReadPause);
  desktop.RemoveFile(script);
}
