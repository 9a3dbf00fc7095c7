#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"

// The values one converter command is built from.
struct ConversionJob {
  std::u16string programFolder;
  std::u16string sourcePath;
  std::u16string outputFolder;
  std::u16string format;
  std::int32_t resolution;
  int index;  // position of the source in the list, from 0
  int count;  // items in the list when the command is built
};

// The resolution box's text as a number: decimal, or hexadecimal after "$", "x" or "0x";
// 300 when the text cannot be read. 0 and negative numbers pass unchanged.
std::int32_t ReadResolution(std::u16string_view text);

// The full command that starts the converter for one source file.
std::u16string BuildConverterCommand(const ConversionJob& job, PathStyle style);

// The folder part of the running executable's own full path.
std::u16string ProgramFolder(std::u16string_view executablePath, PathStyle style);

// Splits a command line into arguments by the rules of Windows' CommandLineToArgvW.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// The image name stem for the source at `index` of a list of `count` items.
std::u16string ImageStem(int index, int count);
