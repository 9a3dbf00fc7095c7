#include "xps2img/conversion/report.h"

#include <string>

#include "xps2img/platform/console_window.h"
#include "xps2img/platform/platform.h"

void ReportError(std::string_view message) {
  const std::string line = "xps2img: " + std::string(message);
  platform::PrintError(line);
  console_window::ErrorPrinted(line);
}
