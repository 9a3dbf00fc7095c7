#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/path_style.h"
#include "base/program_arguments.h"

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

// What starts the converter for one source file: its path in the bin folder under the program
// folder; the source and the output folder, each one argument whatever it holds; then -f, the
// format exactly as typed, -d, the resolution, -i and the stem, as words, so that a format of
// two words is two arguments.
ProgramCommand BuildConverterCommand(const ConversionJob& job, PathStyle style);

// The folder part of the running executable's own full path.
std::u16string ProgramFolder(std::u16string_view executablePath, PathStyle style);

// The image name stem for the source at `index` of a list of `count` items.
std::u16string ImageStem(int index, int count);
