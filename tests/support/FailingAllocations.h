#pragma once

namespace NTESTS {

// While one lives, the next `count` allocations by `new (std::nothrow)` in
// this program fail with a null result; a shared library such as the loaded
// plug-in shares the program's allocator, a Windows DLL keeps its own.
class TFailingAllocations {
 public:
  explicit TFailingAllocations(int count);
  ~TFailingAllocations();
  TFailingAllocations(const TFailingAllocations&) = delete;
  TFailingAllocations& operator=(const TFailingAllocations&) = delete;
};

}  // namespace NTESTS
