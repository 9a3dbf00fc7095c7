#include "xps2img/output_names.h"

#include "xps2img/platform.h"

namespace {

// Enough for any folder a person keeps; beyond it something is wrong with the folder.
constexpr int kMaxCopies = 10000;

std::string TemporaryName(const std::string& name) { return "." + name + ".part"; }

bool FinalNameTaken(const std::string& folder, const std::string& name,
                    const FormatChoice& format) {
  if (platform::Exists(platform::JoinPath(folder, name))) return true;
  if (format.format != ImageFormat::kJpeg) return false;
  // The JPEG fix renames .jpeg to .jpg later: the two spellings are one name.
  std::string stem = name.substr(0, name.size() - format.extension.size());
  std::string twin = stem + (format.extension == ".jpeg" ? ".jpg" : ".jpeg");
  return platform::Exists(platform::JoinPath(folder, twin));
}

bool AnyFinalNameTaken(const std::string& folder, const std::vector<std::string>& names,
                       const FormatChoice& format) {
  for (const std::string& name : names) {
    if (FinalNameTaken(folder, name, format)) return true;
  }
  return false;
}

}  // namespace

std::string PageFileName(std::string_view stem, int page, int copy, std::string_view extension) {
  std::string name(stem);
  name += std::to_string(page);
  if (copy > 1) name += " (" + std::to_string(copy) + ")";
  name += extension;
  return name;
}

std::vector<PageFile> ReserveNames(const std::string& folder, std::string_view stem, int count,
                                   const FormatChoice& format, std::string& error) {
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    std::vector<std::string> names;
    for (int page = 1; page <= count; ++page) {
      names.push_back(PageFileName(stem, page, copy, format.extension));
    }
    if (AnyFinalNameTaken(folder, names, format)) continue;
    std::vector<PageFile> files;
    bool taken = false;
    for (const std::string& name : names) {
      PageFile file{platform::JoinPath(folder, name),
                    platform::JoinPath(folder, TemporaryName(name))};
      error = platform::CreateExclusive(file.temporary, taken);
      if (taken || !error.empty()) break;
      files.push_back(file);
    }
    // A file may have appeared under a final name while the reservation was made.
    if (!taken && error.empty() && !AnyFinalNameTaken(folder, names, format)) return files;
    ReleaseNames(files);
    if (!error.empty()) return {};
  }
  error = "找不到空闲的文件名";
  return {};
}

void ReleaseNames(const std::vector<PageFile>& files) {
  for (const PageFile& file : files) platform::RemoveFile(file.temporary);
}
