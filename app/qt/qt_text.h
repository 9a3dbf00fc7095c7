#pragma once

#include <QString>
#include <string>
#include <string_view>

// Text crosses between the core's UTF-16 and Qt here, and into UTF-8 for POSIX calls.
inline QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

inline std::string ToUtf8(std::u16string_view text) { return ToQString(text).toStdString(); }
