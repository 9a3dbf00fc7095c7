#include "xps2img/conversion/output_names.h"

#include "xps2img/conversion/messages.h"

namespace {

// Enough for any folder a person keeps; beyond it something is wrong with the folder.
constexpr int kMaxCopies = 10000;

std::string TemporaryName(const std::string& name) { return "." + name + ".part"; }

// " (n)" for the n-th copy of a document's names; nothing for the first.
std::string CopySuffix(int copy) { return copy > 1 ? " (" + std::to_string(copy) + ")" : ""; }

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
  return std::string(stem) + std::to_string(page) + CopySuffix(copy) + std::string(extension);
}

Reservation ReserveNames(const std::string& folder, std::string_view stem, int count,
                         const FormatChoice& format) {
  // For JPEG both spellings share one reservation, as they share one name.
  std::string lockExtension = format.format == ImageFormat::kJpeg ? ".jpeg" : format.extension;
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    Reservation reservation;
    std::string lock = "." + std::string(stem) + CopySuffix(copy) + lockExtension + ".lock";
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
  throw Failure(NoFreeNamesText());
}
