#pragma once

#include <mupdf/fitz.h>

#include <atomic>
#include <cstddef>

// MuPDF's allocations in this process: counted, and refused past a cap.
namespace mupdf_memory {

// The allocator every MuPDF context of the process is made with.
const fz_alloc_context* Allocator();

// The bytes MuPDF holds now.
std::size_t InUse();

// Allocations that would take InUse past `bytes` fail; 0 lifts the cap.
void SetCap(std::size_t bytes);
std::size_t Cap();

// While `flag` (or nullptr) is set, every allocation on this thread fails: work that was asked
// to stop ends soon even inside one of MuPDF's long loops.
void FailAllocationsWhen(const std::atomic<bool>* flag);

// The size of the last allocation refused to this thread since the previous call and not
// granted on a retry, or 0; starts counting afresh.
std::size_t TakeRefused();

}  // namespace mupdf_memory
