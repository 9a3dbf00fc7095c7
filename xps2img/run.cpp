#include <exception>
#include <string>

#include "xps2img/console_window.h"
#include "xps2img/converter.h"
#include "xps2img/platform.h"

int RunConverter(const std::vector<std::string>& arguments) {
  ParsedArguments parsed = ParseArguments(arguments);
  if (std::holds_alternative<ShowHelp>(parsed)) {
    platform::PrintLine(kUsage);
    return static_cast<int>(ExitCode::kSuccess);
  }
  if (std::holds_alternative<ShowVersion>(parsed)) {
    platform::PrintLine("xps2img " VELLUMOR_VERSION);
    return static_cast<int>(ExitCode::kSuccess);
  }
  if (auto* error = std::get_if<UsageError>(&parsed)) {
    platform::PrintError("xps2img: " + error->message);
    return console_window::End(static_cast<int>(ExitCode::kUsage));
  }
  const Options& options = std::get<Options>(parsed);
  console_window::Begin(options.source, options.outputFolder);
  ExitCode code = ExitCode::kFailure;
  try {
    code = Convert(options);
  } catch (const std::exception& e) {
    // Out of memory or threads: reported like any other failure rather than a crash.
    platform::PrintError("xps2img: 内部错误：" + std::string(e.what()));
  }
  return console_window::End(static_cast<int>(code));
}
