#include "xps2img/conversion/options.h"

#include <algorithm>
#include <charconv>

#include "xps2img/conversion/messages.h"

namespace {

bool IsOption(const std::string& arg) {
  return arg == "-f" || arg == "-d" || arg == "-i" || arg == "--memory-mb" ||
         arg == "--page-seconds";
}

// A decimal integer with an optional sign, nothing else, from 1 to `max`; `option` names it in
// the messages.
std::string ReadNumber(const std::string& text, const char* option, long long max, int& number) {
  std::string_view digits(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  long long value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || end != digits.data() + digits.size() ||
      error == std::errc::invalid_argument) {
    return NotDecimalText(option, text);
  }
  if (error == std::errc::result_out_of_range || value > max) {
    return TooLargeNumberText(option, text);
  }
  if (value < 1) return BelowOneText(option, text);
  number = static_cast<int>(value);
  return {};
}

std::string ReadOption(const std::string& name, const std::string& value, Options& options) {
  if (name == "-f") {
    auto format = ParseFormat(value);
    if (!format) return UnknownFormatText(value);
    options.format = *format;
    return {};
  }
  if (name == "-d") return ReadNumber(value, option_name::kResolution, 1000000, options.dpi);
  if (name == "--memory-mb") {
    return ReadNumber(value, option_name::kMemoryCap, 1 << 30, options.memoryMb);
  }
  if (name == "--page-seconds") {
    return ReadNumber(value, option_name::kPageSeconds, 1 << 24, options.pageSeconds);
  }
  if (value.find_first_of("/\\") != std::string::npos) {
    return StemWithSeparatorText(value);
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
    return UsageError{MissingPathsText()};
  }
  Options options;
  options.source = arguments[0];
  options.outputFolder = arguments[1];
  std::vector<std::string> seen;
  for (size_t i = 2; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (isHelp(arg)) return ShowHelp{};
    if (arg == "--version") return ShowVersion{};
    if (!IsOption(arg)) return UsageError{ExtraArgumentText(arg)};
    if (std::find(seen.begin(), seen.end(), arg) != seen.end()) {
      return UsageError{RepeatedOptionText(arg)};
    }
    seen.push_back(arg);
    if (i + 1 == arguments.size()) return UsageError{MissingValueText(arg)};
    std::string error = ReadOption(arg, arguments[++i], options);
    if (!error.empty()) return UsageError{error};
  }
  return options;
}
