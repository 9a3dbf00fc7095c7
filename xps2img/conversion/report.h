#pragma once

#include <string_view>

// Reports a failure or a loss: "xps2img: " and `message` on standard error, and the line
// recorded for the console window's summary.
void ReportError(std::string_view message);
