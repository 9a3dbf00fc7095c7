#include "xps2img/run.h"

#include <exception>
#include <string>

#include "xps2img/console_window.h"
#include "xps2img/converter.h"
#include "xps2img/platform.h"

ConversionEnd RunConverter(const std::vector<std::string>& arguments) {
  ParsedArguments parsed = ParseArguments(arguments);
  if (std::holds_alternative<ShowHelp>(parsed)) {
    platform::PrintLine(kUsage);
    return {ExitCode::kSuccess};
  }
  if (std::holds_alternative<ShowVersion>(parsed)) {
    platform::PrintLine("xps2img " VELLUMOR_VERSION);
    return {ExitCode::kSuccess};
  }
  if (auto* error = std::get_if<UsageError>(&parsed)) {
    platform::PrintError("xps2img: " + error->message);
    console_window::End(static_cast<int>(ExitCode::kUsage));
    return {ExitCode::kUsage};
  }
  const Options& options = std::get<Options>(parsed);
  console_window::Begin(options.source, options.outputFolder);
  ConversionEnd end{ExitCode::kFailure};
  try {
    end = Convert(options);
  } catch (const std::exception& e) {
    // Out of memory or threads: reported like any other failure rather than a crash.
    platform::PrintError("xps2img: 内部错误：" + std::string(e.what()));
  }
  console_window::End(static_cast<int>(end.code));
  return end;
}
