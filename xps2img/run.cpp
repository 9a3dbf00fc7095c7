#include "xps2img/run.h"

#include <exception>
#include <string>

#include "xps2img/conversion/converter.h"
#include "xps2img/conversion/messages.h"
#include "xps2img/conversion/report.h"
#include "xps2img/platform/console_window.h"
#include "xps2img/platform/platform.h"

ConversionEnd RunConverter(const std::vector<std::string>& arguments) {
  ParsedArguments parsed = ParseArguments(arguments);
  if (std::holds_alternative<ShowHelp>(parsed)) {
    platform::PrintLine(UsageText());
    return {ExitCode::kSuccess};
  }
  if (std::holds_alternative<ShowVersion>(parsed)) {
    platform::PrintLine("xps2img " VELLUMOR_VERSION);
    return {ExitCode::kSuccess};
  }
  if (auto* error = std::get_if<UsageError>(&parsed)) {
    ReportError(error->message);
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
    ReportError(InternalErrorText(e.what()));
  }
  console_window::End(static_cast<int>(end.code));
  return end;
}
