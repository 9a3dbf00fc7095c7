#include "xps2img/engine/messages.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string_view LossReason(std::string_view warning) {
  if (Has(warning, "font")) return "字体无法加载";
  if (Has(warning, "image source") || Has(warning, "cannot find")) return "资源无法解析";
  if (Has(warning, "image") || Has(warning, "jpeg") || Has(warning, "JPEG") ||
      Has(warning, "png") || Has(warning, "tiff") || Has(warning, "jpx")) {
    return "图像无法解码";
  }
  if (Has(warning, "resource")) return "资源无法解析";
  if (Has(warning, "Ignoring error")) return "部分内容无法绘制";
  return "页面内容有误";
}

std::string Megabytes(std::size_t bytes) {
  return std::to_string((bytes + (std::size_t{1} << 20) - 1) >> 20) + " MB";
}

// printf spells a size that is not a number "-nan" or "nan" by its sign bit.
std::string Points(double n) {
  char text[32] = "NaN";
  if (!std::isnan(n)) std::snprintf(text, sizeof text, "%g", n);
  return text;
}

}  // namespace

std::string StoppedText(const char* stage, bool givenUp) {
  return std::string(stage) + (givenUp ? "时无法中止" : "时被中止");
}

std::string OutOfMemoryText(const char* stage, std::size_t refused, std::size_t cap) {
  return std::string("内存不足：") + stage + "时还需 " + Megabytes(refused) + "，超过本转换器 " +
         Megabytes(cap) + " 的上限（--memory-mb）";
}

std::string ZipBombText(std::string_view error) {
  return "部件解压后过大，疑为压缩炸弹，拒绝读取（" + std::string(error) + "）";
}

std::string NestedTooDeepText(std::string_view error) {
  return "页面元素嵌套过深或资源字典引用自身（" + std::string(error) + "）";
}

std::string PixelTotalText(double maxPixels) {
  return "共最多 " + std::to_string(static_cast<std::int64_t>(maxPixels / 1e4)) + " 万像素";
}

std::string HugeImageText(int width, int height, double maxPixels) {
  return "图像过大：声明 " + std::to_string(width) + " × " + std::to_string(height) +
         " 像素，超过上限（" + PixelTotalText(maxPixels) + "），未解码";
}

std::string PageSizeInvalidText(double width, double height) {
  return "页面大小无效：宽 " + Points(width) + " 点、高 " + Points(height) + " 点";
}

std::string LossText(std::string_view warning, std::string_view cause) {
  if (Has(warning, "ICC") || Has(warning, "icc") || warning.starts_with("... repeated")) {
    return {};
  }
  std::string text(LossReason(warning));
  text += "（";
  text += warning;
  if (!cause.empty()) {
    text += "：";
    text += cause;
  }
  text += "）";
  return text;
}
