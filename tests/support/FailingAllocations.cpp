#include "support/FailingAllocations.h"

#include <new>

namespace {
int g_failingAllocations = 0;
}  // namespace

// Replaces the library's own for the whole program, which is what lets a
// test make the plug-in's allocations fail.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_failingAllocations > 0) {
    --g_failingAllocations;
    return nullptr;
  }
  // As the library's own: the storage is freed with plain delete.
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace NTESTS {

TFailingAllocations::TFailingAllocations(int count) { g_failingAllocations = count; }

TFailingAllocations::~TFailingAllocations() { g_failingAllocations = 0; }

}  // namespace NTESTS
