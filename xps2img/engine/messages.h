#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The engine's texts, in Chinese as the converter's messages give them, with MuPDF's own text
// where it says more. Each is written here once.

// What a page's work is doing, as the messages name it.
namespace stage {
inline constexpr const char* kWorking = "处理页面";
inline constexpr const char* kOpening = "打开文档";
inline constexpr const char* kCounting = "统计页数";
inline constexpr const char* kLoading = "读取页面";
inline constexpr const char* kDrawing = "绘制页面";
inline constexpr const char* kAllocatingBand = "分配页带";
}  // namespace stage

// `stage` was stopped ("读取页面时被中止"), or went on regardless and was given up.
std::string StoppedText(const char* stage, bool givenUp);

// MuPDF was refused `refused` bytes during `stage`, past the converter's cap of `cap` bytes.
std::string OutOfMemoryText(const char* stage, std::size_t refused, std::size_t cap);

// MuPDF refused to inflate a part (its `error`).
std::string ZipBombText(std::string_view error);

// MuPDF met its nesting limit; `error` is the error that ended the page.
std::string NestedTooDeepText(std::string_view error);

// "共最多 N 万像素": the limit on a page's or an image's pixels.
std::string PixelTotalText(double maxPixels);

// An image that declares more pixels than `maxPixels`, refused before it is decoded.
std::string HugeImageText(int width, int height, double maxPixels);

// A page whose size in points is zero, negative or not a number.
std::string PageSizeInvalidText(double width, double height);

// What a MuPDF warning (with the error that led to it, if any) says was lost on a page: a reason,
// then MuPDF's text. Empty for warnings that lose nothing (colour management, repeats).
std::string LossText(std::string_view warning, std::string_view cause);
