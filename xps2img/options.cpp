#include "xps2img/options.h"

#include <algorithm>
#include <charconv>

const char* const kUsage =
    "用法：xps2img 源文件 输出文件夹 [-f 格式] [-d 分辨率] [-i 文件名前缀]\n"
    "                               [--memory-mb 兆字节] [--page-seconds 秒]\n"
    "\n"
    "把 XPS 文档的每一页渲染成一张图片，写入输出文件夹。\n"
    "\n"
    "  -f 格式        jpeg（.jpeg）、jpg、png、tiff（.tiff）、tif、bmp、gif，不分大小写；默认 png\n"
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

namespace {

bool IsOption(const std::string& arg) {
  return arg == "-f" || arg == "-d" || arg == "-i" || arg == "--memory-mb" ||
         arg == "--page-seconds";
}

// A decimal integer with an optional sign, nothing else, from 1 to `max`; `what` names it in
// the messages.
std::string ReadNumber(const std::string& text, const std::string& what, long long max,
                       int& number) {
  std::string_view digits(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  long long value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || end != digits.data() + digits.size() ||
      error == std::errc::invalid_argument) {
    return what + "“" + text + "”不是十进制整数";
  }
  if (error == std::errc::result_out_of_range || value > max) return what + "“" + text + "”太大";
  if (value < 1) return what + "必须至少为 1，收到“" + text + "”";
  number = static_cast<int>(value);
  return {};
}

std::string ReadOption(const std::string& name, const std::string& value, Options& options) {
  if (name == "-f") {
    auto format = ParseFormat(value);
    if (!format) {
      return "不支持的格式“" + value + "”，可用的格式：" + std::string(FormatList());
    }
    options.format = *format;
    return {};
  }
  if (name == "-d") return ReadNumber(value, "分辨率", 1000000, options.dpi);
  if (name == "--memory-mb") return ReadNumber(value, "内存上限", 1 << 30, options.memoryMb);
  if (name == "--page-seconds") return ReadNumber(value, "每页时间", 1 << 24, options.pageSeconds);
  if (value.find_first_of("/\\") != std::string::npos) {
    return "文件名前缀“" + value + "”不能含有路径分隔符";
  }
  options.stem = value;
  return {};
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
  auto isHelp = [](const std::string& a) { return a == "-h" || a == "--help"; };
  if (!arguments.empty() && isHelp(arguments[0])) return ShowHelp{};
  if (!arguments.empty() && arguments[0] == "--version") return ShowVersion{};
  if (arguments.size() < 2 || IsOption(arguments[0]) || IsOption(arguments[1])) {
    return UsageError{"需要源文件和输出文件夹两个路径（xps2img --help 显示用法）"};
  }
  Options options;
  options.source = arguments[0];
  options.outputFolder = arguments[1];
  std::vector<std::string> seen;
  for (size_t i = 2; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (isHelp(arg)) return ShowHelp{};
    if (arg == "--version") return ShowVersion{};
    if (!IsOption(arg)) return UsageError{"多余的参数“" + arg + "”"};
    if (std::find(seen.begin(), seen.end(), arg) != seen.end()) {
      return UsageError{"选项 " + arg + " 重复"};
    }
    seen.push_back(arg);
    if (i + 1 == arguments.size()) return UsageError{"选项 " + arg + " 缺少取值"};
    std::string error = ReadOption(arg, arguments[++i], options);
    if (!error.empty()) return UsageError{error};
  }
  return options;
}
