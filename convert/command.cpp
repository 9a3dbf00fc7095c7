#include "convert/command.h"

#include <optional>

#include "base/decimal_text.h"

namespace {

constexpr std::int32_t kDefaultResolution = 300;

std::optional<unsigned> HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return std::nullopt;
}

// Reads the magnitude of a hexadecimal number: at most eight significant digits, taken as
// the bits of a 32-bit value.
std::optional<std::uint32_t> ReadHex(std::u16string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char16_t c : digits) {
    auto digit = HexDigit(c);
    if (!digit || value > 0x0FFFFFFFu) return std::nullopt;
    value = value << 4 | *digit;
  }
  return value;
}

// Reads a decimal magnitude that, with its sign, must fit a signed 32-bit integer.
std::optional<std::uint32_t> ReadDecimal(std::u16string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
  std::uint64_t value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::int32_t ReadResolution(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  std::u16string_view rest = text.substr(i);
  std::optional<std::uint32_t> magnitude;
  if (rest.starts_with(u"$") || rest.starts_with(u"x") || rest.starts_with(u"X")) {
    magnitude = ReadHex(rest.substr(1));
  } else if (rest.starts_with(u"0x") || rest.starts_with(u"0X")) {
    magnitude = ReadHex(rest.substr(2));
  } else {
    magnitude = ReadDecimal(rest, negative);
  }
  if (!magnitude) return kDefaultResolution;
  const std::uint32_t bits = negative ? 0u - *magnitude : *magnitude;
  return static_cast<std::int32_t>(bits);
}

std::u16string ImageStem(int index, int count) {
  std::u16string stem = u"图";
  if (count != 1) stem += DecimalText(static_cast<std::int64_t>(index) + 1) + u"-";
  return stem;
}

ProgramCommand BuildConverterCommand(const ConversionJob& job, PathStyle style) {
  const std::u16string_view converter =
      style == PathStyle::Windows ? u"\\bin\\xps2img" : u"/bin/xps2img";
  using Kind = ProgramArgument::Kind;
  return {job.programFolder + std::u16string(converter),
          {{Kind::Whole, job.sourcePath},
           {Kind::Whole, job.outputFolder},
           {Kind::Words, u"-f"},
           {Kind::Words, job.format},
           {Kind::Words, u"-d"},
           {Kind::Words, DecimalText(job.resolution)},
           {Kind::Words, u"-i"},
           {Kind::Words, ImageStem(job.index, job.count)}}};
}

std::u16string ProgramFolder(std::u16string_view executablePath, PathStyle style) {
  const bool windows = style == PathStyle::Windows;
  const std::size_t last = executablePath.find_last_of(windows ? u"\\:" : u"/");
  if (last == std::u16string_view::npos) return {};
  const char16_t separator = windows ? u'\\' : u'/';
  std::size_t end = last + 1;
  if (executablePath[last] == separator && last > 0) {
    const char16_t before = executablePath[last - 1];
    if (before != separator && !(windows && before == u':')) end = last;
  }
  return std::u16string(executablePath.substr(0, end));
}
