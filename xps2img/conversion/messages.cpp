#include "xps2img/conversion/messages.h"

#include <cstddef>
#include <cstdint>

#include "xps2img/conversion/pixel_limit.h"
#include "xps2img/writers/image_format.h"

namespace {

// Failures listed in the closing line; further ones are counted only.
constexpr std::size_t kListedFailures = 10;

// "“text”", as the messages quote names.
std::string Quote(std::string_view text) { return "“" + std::string(text) + "”"; }

std::string Page(int index) { return "第 " + std::to_string(index + 1) + " 页"; }

}  // namespace

std::string UsageText() {
  return "用法：xps2img 源文件 输出文件夹 [-f 格式] [-d 分辨率] [-i 文件名前缀]\n"
         "                               [--memory-mb 兆字节] [--page-seconds 秒]\n"
         "\n"
         "把 XPS 文档的每一页渲染成一张图片，写入输出文件夹。\n"
         "\n"
         "  -f 格式        " +
         FormatList(true) +
         "，不分大小写；默认 png\n"
         "  -d 分辨率      每英寸点数，至少为 1 的十进制整数；默认 300\n"
         "  -i 文件名前缀  第 p 页写成 前缀 + p + 扩展名，例如 图1.png；默认 图\n"
         "  --memory-mb N  渲染所用内存的上限（MiB）；默认由本机内存和渲染槽数决定\n"
         "  --page-seconds N  每页读取和渲染的时间上限（秒）；默认 120\n"
         "  -h, --help     显示本帮助\n"
         "  --version      显示版本\n"
         "\n"
         "已有的文件从不被覆盖：只要文档的某个文件名已被占用，整份文档改用第一个空闲的\n"
         "后缀“ (2)”、“ (3)”……，例如 图1 (2).png；JPEG 图片的 .jpeg 与 .jpg 算作同一个名字。\n"
         "\n"
         "退出状态：0 成功；1 文档、页面或输出出错；2 命令行用法错误。";
}

std::string MissingPathsText() {
  return "需要源文件和输出文件夹两个路径（xps2img --help 显示用法）";
}

std::string ExtraArgumentText(const std::string& argument) {
  return "多余的参数" + Quote(argument);
}

std::string RepeatedOptionText(const std::string& option) { return "选项 " + option + " 重复"; }

std::string MissingValueText(const std::string& option) { return "选项 " + option + " 缺少取值"; }

std::string UnknownFormatText(const std::string& word) {
  return "不支持的格式" + Quote(word) + "，可用的格式：" + FormatList(false);
}

std::string StemWithSeparatorText(const std::string& stem) {
  return "文件名前缀" + Quote(stem) + "不能含有路径分隔符";
}

std::string NotDecimalText(const char* option, const std::string& text) {
  return option + Quote(text) + "不是十进制整数";
}

std::string TooLargeNumberText(const char* option, const std::string& text) {
  return option + Quote(text) + "太大";
}

std::string BelowOneText(const char* option, const std::string& text) {
  return option + ("必须至少为 1，收到" + Quote(text));
}

std::string UnreadableSourceText(const std::string& source, std::string_view reason) {
  return "无法读取源文件" + Quote(source) + "：" + std::string(reason);
}

std::string OutputFolderText(const std::string& folder, std::string_view reason) {
  return "输出文件夹" + Quote(folder) + std::string(reason);
}

std::string NotXpsText(const std::string& source, std::string_view reason) {
  return Quote(source) + "不是可读的 XPS 文档：" + std::string(reason);
}

std::string NoPagesText(const std::string& source) { return Quote(source) + "中没有页面"; }

std::string FirstPageTooLargeText(const std::string& source, const PageTooLarge& e, int dpi) {
  return Quote(source) + "的第 1 页" + TooLargeText(e, dpi);
}

std::string CannotReserveNamesText(const std::string& folder, std::string_view reason) {
  return "无法在输出文件夹" + Quote(folder) + "中创建文件：" + std::string(reason);
}

std::string NoFreeNamesText() { return "找不到空闲的文件名"; }

std::string TooLargeText(const PageTooLarge& e, int dpi) {
  auto number = [](double n) { return std::to_string(static_cast<std::int64_t>(n)); };
  return "在 " + std::to_string(dpi) + " dpi 下为 " + number(e.width) + " × " + number(e.height) +
         " 像素，超过上限（每边最多 " + number(kPixelLimit.maxSide) + " 像素、" +
         PixelTotalText(kPixelLimit.maxPixels) + "）";
}

std::string StageFailureText(const RenderError& e, std::chrono::seconds budget) {
  const auto* stopped = dynamic_cast<const PageStopped*>(&e);
  return stopped ? TimeoutText(budget, stopped->stage, stopped->givenUp) : e.what();
}

std::string TimeoutText(std::chrono::seconds budget, const char* stage, bool givenUp) {
  return "超时：超过每页 " + std::to_string(budget.count()) +
         " 秒的上限（--page-seconds），当时正在" + stage + (givenUp ? "，且无法中止" : "");
}

std::string CannotCreateTemporaryText(const std::string& path, std::string_view reason) {
  return "无法创建临时文件" + Quote(path) + "：" + std::string(reason);
}

std::string TemporaryInUseText(const std::string& path) {
  return "临时文件" + Quote(path) + "正被另一个程序使用";
}

std::string WriteFailedText(const std::string& path) {
  return "写入临时文件" + Quote(path) + "失败（磁盘已满？）";
}

std::string CannotMoveText(const std::string& final, std::string_view reason) {
  return "无法写成" + Quote(final) + "：" + std::string(reason);
}

std::string PageWrittenText(int index, int count, const std::string& final) {
  return "第 " + std::to_string(index + 1) + "/" + std::to_string(count) + " 页 → " + final;
}

std::string PageLossesText(const std::string& source, int index,
                           const std::vector<std::string>& losses) {
  std::string text = Quote(source) + Page(index) + "有内容未能画出：";
  for (std::size_t i = 0; i < losses.size(); ++i) text += (i ? "；" : "") + losses[i];
  return text;
}

std::string FailedPagesText(const std::string& source,
                            const std::vector<std::pair<int, std::string>>& failures, int written,
                            int count) {
  std::string text = Quote(source) + "：";
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i) {
    text += Page(failures[i].first) + "无法转换（" + failures[i].second + "）；";
  }
  if (failures.size() > kListedFailures) {
    text += "另有 " + std::to_string(failures.size() - kListedFailures) + " 页失败；";
  }
  return text + "已写入 " + std::to_string(written) + " 页，共 " + std::to_string(count) + " 页";
}

std::string InternalErrorText(std::string_view what) { return "内部错误：" + std::string(what); }
