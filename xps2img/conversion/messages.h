#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xps2img/engine/engine.h"

// The conversion's texts, in Chinese: what the converter prints and what its failures say. Each
// is written here once; a system's or a library's own reason is passed in and quoted after it.

// The command line.
namespace option_name {
inline constexpr const char* kResolution = "分辨率";
inline constexpr const char* kMemoryCap = "内存上限";
inline constexpr const char* kPageSeconds = "每页时间";
}  // namespace option_name
std::string UsageText();
std::string MissingPathsText();
std::string ExtraArgumentText(const std::string& argument);
std::string RepeatedOptionText(const std::string& option);
std::string MissingValueText(const std::string& option);
std::string UnknownFormatText(const std::string& word);
std::string StemWithSeparatorText(const std::string& stem);
// A number option (option_name::...) that is not a decimal integer, too large, or below 1.
std::string NotDecimalText(const char* option, const std::string& text);
std::string TooLargeNumberText(const char* option, const std::string& text);
std::string BelowOneText(const char* option, const std::string& text);

// The document and the output folder, before any page.
std::string UnreadableSourceText(const std::string& source, std::string_view reason);
std::string OutputFolderText(const std::string& folder, std::string_view reason);
std::string NotXpsText(const std::string& source, std::string_view reason);
std::string NoPagesText(const std::string& source);
std::string FirstPageTooLargeText(const std::string& source, const PageTooLarge& e, int dpi);
std::string CannotReserveNamesText(const std::string& folder, std::string_view reason);
std::string NoFreeNamesText();

// The reason a page is refused at `dpi`: its size in pixels against the limit.
std::string TooLargeText(const PageTooLarge& e, int dpi);
// Why a stage of a page or of the document failed: for one stopped or given up past `budget`,
// "超时" with the stage; else the failure's own message.
std::string StageFailureText(const RenderError& e, std::chrono::seconds budget);
// A page stopped or given up during `stage` past `budget`.
std::string TimeoutText(std::chrono::seconds budget, const char* stage, bool givenUp);

// Writing one page's image.
std::string CannotCreateTemporaryText(const std::string& path, std::string_view reason);
std::string TemporaryInUseText(const std::string& path);
std::string WriteFailedText(const std::string& path);
std::string CannotMoveText(const std::string& final, std::string_view reason);

// The progress line of page `index` (from 0) of `count`, written as `final`.
std::string PageWrittenText(int index, int count, const std::string& final);
// What could not be drawn on page `index` (from 0).
std::string PageLossesText(const std::string& source, int index,
                           const std::vector<std::string>& losses);
// The closing line of a document some of whose pages failed: the failures (page index from 0,
// reason) in order, the first few of them listed.
std::string FailedPagesText(const std::string& source,
                            const std::vector<std::pair<int, std::string>>& failures, int written,
                            int count);

// An exception nothing else caught (out of memory or threads).
std::string InternalErrorText(std::string_view what);
