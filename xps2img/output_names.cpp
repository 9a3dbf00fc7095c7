#include "xps2img/output_names.h"

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

}  // namespace

std::string PageFileName(std::string_view stem, int page, int copy, std::string_view extension) {
  std::string name(stem);
  name += std::to_string(page);
  if (copy > 1) name += " (" + std::to_string(copy) + ")";
  name += extension;
  return name;
}

Reservation ReserveNames(const std::string& folder, std::string_view stem, int count,
                         const FormatChoice& format) {
  // For JPEG both spellings share one reservation, as they share one name.
  std::string lockExtension = format.format == ImageFormat::kJpeg ? ".jpeg" : format.extension;
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    Reservation reservation;
    std::string lock = ".";
    lock += stem;
    if (copy > 1) lock += " (" + std::to_string(copy) + ")";
    lock += lockExtension;
    lock += ".lock";
    reservation.hold = platform::HoldFile(platform::JoinPath(folder, lock));
    if (!reservation.hold) continue;  // another converter's
    bool free = true;
    for (int page = 1; page <= count && free; ++page) {
      std::string name = PageFileName(stem, page, copy, format.extension);
      PageFile file{platform::JoinPath(folder, name),
                    platform::JoinPath(folder, TemporaryName(name))};
      free = !FinalNameTaken(folder, name, format) && platform::RemoveIfAbandoned(file.temporary);
      reservation.files.push_back(std::move(file));
    }
    if (free) return reservation;
  }
  throw Failure("找不到空闲的文件名");
}
