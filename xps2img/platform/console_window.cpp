#include "xps2img/platform/console_window.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "xps2img/platform/platform.h"

namespace console_window {
namespace {

constexpr int kDefaultLingerSeconds = 15;

// The error lines an outcome keeps for the summary.
constexpr std::size_t kSummaryErrors = 5;

#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

// The file name of `path`, its control characters (C0, DEL, C1 in UTF-8) as "?": a name may
// hold any of them, and in a title they would end it or be taken for the terminal's commands.
std::string DocumentName(const std::string& path) {
  const std::size_t slash = path.find_last_of(kSeparators);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string shown;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      shown += '?';
      ++i;
    } else {
      shown += byte < 0x20 || byte == 0x7F ? '?' : name[i];
    }
  }
  return shown;
}

// The lines shown at the end when anything went wrong: what was written and what failed.
std::vector<std::string> SummaryLines(const Outcome& outcome, int exitCode) {
  std::vector<std::string> lines{""};
  if (exitCode == 0) {
    lines.push_back("转换完成，但有页面的部分内容未能画出。");
  } else if (exitCode == 1) {
    lines.push_back(outcome.written == 0 ? "转换失败。" : "转换未全部完成。");
  } else {
    lines.push_back("命令行有误，没有转换任何页面。");
  }
  if (!outcome.source.empty()) lines.push_back("文档：" + outcome.source);
  if (outcome.written > 0) {
    lines.push_back("已写入 " + std::to_string(outcome.written) + " 页，共 " +
                    std::to_string(outcome.total) + " 页，位于 " + outcome.outputFolder);
  } else if (exitCode != 2) {
    lines.push_back("没有写入任何图片。");
  }
  if (!outcome.errors.empty()) lines.push_back("原因：");
  for (const std::string& error : outcome.errors) lines.push_back("  " + error);
  if (outcome.moreErrors > 0) {
    lines.push_back("  另有 " + std::to_string(outcome.moreErrors) + " 条，见上");
  }
  return lines;
}

// The countdown line, "本窗口 15 秒后自动关闭".
std::string CountdownText(int seconds) {
  return "本窗口 " + std::to_string(seconds) + " 秒后自动关闭";
}

// How long the window stays after a failure, in seconds: 15, or less as `setting` (the
// variable XPS2IMG_LINGER_SECONDS, which tests set to keep their runs short) asks.
int LingerSeconds(const char* setting) {
  if (setting == nullptr) return kDefaultLingerSeconds;
  const char* end = setting + std::strlen(setting);
  int seconds = -1;
  auto [stop, error] = std::from_chars(setting, end, seconds);
  const bool valid = error == std::errc() && stop == end && stop != setting;
  return valid && seconds >= 0 && seconds < kDefaultLingerSeconds ? seconds : kDefaultLingerSeconds;
}

struct State {
  std::mutex mutex;
  Outcome outcome;
};

State& TheState() {
  static State state;
  return state;
}

const Window& TheWindow() {
  static const Window window = DetectWindow();
  return window;
}

}  // namespace

void Begin(const std::string& source, const std::string& outputFolder) {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  state.outcome.source = source;
  state.outcome.outputFolder = outputFolder;
  if (TheWindow().own) SetTitle(TitleText(state.outcome));
}

void PageWritten(int written, int total) {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  state.outcome.written = written;
  state.outcome.total = total;
  if (TheWindow().own) SetTitle(TitleText(state.outcome));
}

void ErrorPrinted(std::string_view line) {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  if (state.outcome.errors.size() < kSummaryErrors) {
    state.outcome.errors.emplace_back(line);
  } else {
    ++state.outcome.moreErrors;
  }
}

void End(int exitCode) {
  Outcome outcome;
  {
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    outcome = state.outcome;
  }
  const Window& window = TheWindow();
  if (!window.own) return;
  SetTitle(TitleText(outcome, exitCode));
  if (!window.showsOutput || (exitCode == 0 && outcome.errors.empty())) return;

  for (const std::string& line : SummaryLines(outcome, exitCode)) platform::PrintLine(line);
  for (int left = LingerSeconds(std::getenv("XPS2IMG_LINGER_SECONDS")); left > 0; --left) {
    RewriteLine(CountdownText(left));
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  platform::PrintLine("");
}

std::string TitleText(const Outcome& outcome, int exitCode) {
  const std::string name = outcome.source.empty() ? "xps2img" : DocumentName(outcome.source);
  const std::string pages =
      std::to_string(outcome.written) + "/" + std::to_string(outcome.total) + " 页";
  switch (exitCode) {
    case -1:
      return outcome.total == 0 ? name : name + " — 第 " + pages;
    case 0:
      return name + (outcome.errors.empty() ? " — 完成" : " — 完成，有内容未能画出");
    case 1:
      return name + " — 失败" + (outcome.total == 0 ? "" : "，已写入 " + pages);
    default:
      return name + " — 命令行有误";
  }
}

}  // namespace console_window
