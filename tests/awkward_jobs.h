#pragma once

#include <vector>

#include "convert/command.h"

// Converter jobs of every awkward kind: program folders at a drive root, on a share or with a
// blank; paths empty, with blanks, tabs, quotes or trailing backslashes; formats empty, of
// several words, with runs of blanks or a tab.
inline std::vector<ConversionJob> AwkwardJobs() {
  const std::u16string folders[] = {u"C:\\Tools\\Conv", u"C:\\", u"\\\\srv\\share\\", u"D:\\a b\\"};
  const std::u16string paths[] = {
      u"D:\\Docs\\report.xps", u"E:\\", u"E:\\\\", u"\\\\srv\\s\\", u"D:\\图 表\\Ω.xps", u"",
      u"a\\\"b\\\\\"c\\",      u"\"",   u"x\ty"};
  const std::u16string formats[] = {u"jpeg", u"", u"my  png", u" tiff ", u"a\tb"};
  std::vector<ConversionJob> jobs;
  for (const auto& folder : folders) {
    for (const auto& path : paths) {
      for (const auto& format : formats) {
        jobs.push_back({folder, path, path + u"out", format, -42, 2, 3});
      }
    }
  }
  return jobs;
}
