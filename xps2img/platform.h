#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The operating-system services the converter uses. Paths and messages are UTF-8 throughout;
// each platform file converts at its edge. The platform file also holds the program's entry
// point, which hands the arguments, as UTF-8, to RunConverter.
namespace platform {

// `name` inside `folder`.
std::string JoinPath(std::string_view folder, std::string_view name);

// Empty when `path` is a regular file that can be read, else the reason in Chinese.
std::string CheckReadableFile(const std::string& path);

// Empty when `path` is an existing folder, else the reason in Chinese.
std::string CheckFolder(const std::string& path);

// Whether anything (file, folder, link) exists under `path`.
bool Exists(const std::string& path);

// Creates an empty file that must not exist yet. Empty on success; "exists" is reported
// through `exists` so the caller can try another name; any other failure as a reason.
std::string CreateExclusive(const std::string& path, bool& exists);

// Opens an existing file for writing, truncating it; nullptr with `reason` set on failure.
std::FILE* OpenForWriting(const std::string& path, std::string& reason);

// 64-bit positioning in a stdio file, which the standard does not offer.
bool Seek(std::FILE* file, std::int64_t offset, int whence);
std::int64_t Tell(std::FILE* file);

// Moves `from` to `to` only if `to` does not exist. Empty on success, else the reason.
std::string MoveWithoutReplacing(const std::string& from, const std::string& to);

// Removes a file; failures are ignored (it is used for clean-up only).
void RemoveFile(const std::string& path);

// The number of processor cores, at least 1.
int CoreCount();

// The machine's physical memory in bytes, 0 when unknown.
std::uint64_t PhysicalMemory();

// One of the machine's page-render slots, held until destroyed. The operating system frees
// the slot when the holding process dies.
class RenderSlot {
 public:
  virtual ~RenderSlot() = default;
};

// Blocks until one of CoreCount() machine-wide render slots is free and takes it. Returns
// nullptr when the slots cannot be used at all (the caller then renders without a limit).
std::unique_ptr<RenderSlot> AcquireRenderSlot();

// Writes one line of UTF-8 text to standard output or standard error.
void PrintLine(std::string_view line);
void PrintError(std::string_view line);

}  // namespace platform

// The converter proper, called by the platform's entry point; returns the exit status.
int RunConverter(const std::vector<std::string>& arguments);
