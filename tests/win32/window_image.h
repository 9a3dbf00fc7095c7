#pragma once

#include <windows.h>

#include <string>

// What the screen shows of `window` (with its frame), as the bytes of a 24-bit BMP file; empty
// when it cannot be read.
std::string WindowImage(HWND window);
