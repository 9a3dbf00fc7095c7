#pragma once

#include <string_view>

// The texts the operations show: app/form.h, the window's facts, uses them too, and no other
// file spells them.
namespace texts {

inline constexpr std::u16string_view kOpenDialogFilter = u"XPS文件|*.xps;*.oxps";
inline constexpr std::u16string_view kFolderDialogTitle = u"文件保存路径浏览... ";
inline constexpr std::u16string_view kFolderMissingMessage = u"路径不存在！";

}  // namespace texts
