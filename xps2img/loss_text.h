#pragma once

#include <string>
#include <string_view>

// What a MuPDF warning (with the error that led to it, if any) says was lost on a page, as the
// messages give it: a reason in Chinese, then MuPDF's text. Empty for warnings that lose
// nothing (colour management, repeats).
std::string LossText(std::string_view warning, std::string_view cause);
