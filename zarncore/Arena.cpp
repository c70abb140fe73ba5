#include "zarncore/Arena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace NZARNCORE {
namespace {

constexpr std::size_t kFirstBlock = std::size_t(64) << 10;
constexpr std::size_t kLargestBlock = std::size_t(4) << 20;
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kAlignment = alignof(std::max_align_t);

std::size_t RoundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

#if defined(__linux__)
// Huge-page-aligned anonymous memory with the advice to back it by huge
// pages; null when the system refuses the mapping.
unsigned char* MapHugePages(std::size_t size) {
  const std::size_t padded = size + kHugePage;
  void* mapping = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  auto* start = static_cast<unsigned char*>(mapping);
  auto* aligned =
      reinterpret_cast<unsigned char*>(RoundUp(reinterpret_cast<std::uintptr_t>(start), kHugePage));
  if (aligned != start) munmap(start, static_cast<std::size_t>(aligned - start));
  const std::size_t tail = padded - static_cast<std::size_t>(aligned - start) - size;
  if (tail != 0) munmap(aligned + size, tail);
  madvise(aligned, size, MADV_HUGEPAGE);
  return aligned;
}
#endif

}  // namespace

TArena::~TArena() {
  for (const TBlock& block : m_blocks) {
    MarkHandedOut(block.data, block.size);
#if defined(__linux__)
    if (block.mapped) {
      munmap(block.data, block.size);
      continue;
    }
#endif
    std::free(block.data);
  }
}

unsigned char* TArena::NewBlock(std::size_t atLeast) {
  const std::size_t grown = m_blocks.empty() ? kFirstBlock : m_blocks.back().size * 2;
  std::size_t size = std::max(std::min(grown, kLargestBlock), RoundUp(atLeast, kAlignment));
  // Room to record the block first, so that no allocated block goes unrecorded.
  m_blocks.reserve(m_blocks.size() + 1);
  TBlock block{nullptr, size, false};
#if defined(__linux__)
  if (size >= kHugePage) {
    block.size = size = RoundUp(size, kHugePage);
    block.data = MapHugePages(size);
    block.mapped = block.data != nullptr;
  }
#endif
  if (block.data == nullptr) block.data = static_cast<unsigned char*>(std::malloc(size));
  if (block.data == nullptr) throw std::bad_alloc();
  MarkNotHandedOut(block.data, size);
  m_blocks.push_back(block);
  m_next = block.data;
  m_end = block.data + size;
  return block.data;
}

void* TArena::Allocate(std::size_t size) {
  m_next = reinterpret_cast<unsigned char*>(
      RoundUp(reinterpret_cast<std::uintptr_t>(m_next), kAlignment));
  return Bytes(size);
}

unsigned char* TArena::Move(unsigned char* data, std::size_t size, std::size_t extra) {
  unsigned char* const moved = Bytes(size + extra);
  if (size != 0) std::memcpy(moved, data, size);
  return moved;
}

}  // namespace NZARNCORE
