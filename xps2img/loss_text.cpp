#include "xps2img/loss_text.h"

namespace {

bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string_view Reason(std::string_view warning) {
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

}  // namespace

std::string LossText(std::string_view warning, std::string_view cause) {
  if (Has(warning, "ICC") || Has(warning, "icc") || warning.starts_with("... repeated")) {
    return {};
  }
  std::string text(Reason(warning));
  text += "（";
  text += warning;
  if (!cause.empty()) {
    text += "：";
    text += cause;
  }
  text += "）";
  return text;
}
