#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xps2img/platform/failure.h"

// The operating-system services the converter uses, one file per platform. Paths and messages
// are UTF-8 throughout; each platform file converts at its edge.
namespace platform {

// `name` inside `folder`.
std::string JoinPath(std::string_view folder, std::string_view name);

// Each service throws Failure with the reason in Chinese when the system refuses it.

// Fails unless `path` is a regular file that can be read.
void CheckReadableFile(const std::string& path);

// Fails unless `path` is an existing folder.
void CheckFolder(const std::string& path);

// Whether anything (file, folder, link) exists under `path`.
bool Exists(const std::string& path);

// Creates a file that must not exist yet and opens it for writing: hidden where the system hides
// by attribute, and held while it is open (RemoveIfAbandoned leaves it alone). nullptr when the
// name is taken.
std::FILE* CreateForWriting(const std::string& path);

// Removes `path` unless a live process holds it (CreateForWriting, HoldFile). Whether it is
// gone.
bool RemoveIfAbandoned(const std::string& path);

// A file that one process at a time holds, created if need be: the system lets go of it when
// the process dies. Destroying it removes the file.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
};

// Holds `path`, hidden where the system hides by attribute. nullptr when another live process
// holds it.
std::unique_ptr<HeldFile> HoldFile(const std::string& path);

// 64-bit positioning in a stdio file, which the standard does not offer.
bool Seek(std::FILE* file, std::int64_t offset, int whence);
std::int64_t Tell(std::FILE* file);

// Moves `from` to `to` only if `to` does not exist ("目标文件已存在" otherwise), visible even if
// `from` was hidden.
void MoveWithoutReplacing(const std::string& from, const std::string& to);

// Removes a file; failures are ignored (it is used for clean-up only).
void RemoveFile(const std::string& path);

// The number of processor cores, at least 1.
int CoreCount();

// The machine's physical memory in bytes, 0 when unknown.
std::uint64_t PhysicalMemory();

// `size` bytes of fresh memory straight from the system, zeroed, page-aligned: where the system
// gives huge pages on request, its whole huge pages are asked for in them. Null when refused.
void* MapMemory(std::size_t size);
// Returns memory from MapMemory, of the same size, to the system.
void UnmapMemory(void* block, std::size_t size);

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
