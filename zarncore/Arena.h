#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/ZarnApi.h"

namespace NZARNCORE {

// Memory handed out by bumping a pointer through large blocks and released
// all at once with the arena. A large inventory is written once and read
// many times, so nothing is freed piecemeal. Large blocks are backed by huge
// pages where the system offers them: filling hundreds of megabytes a small
// page at a time would cost more in page faults than the parse itself.
class ZARN_API TArena {
 public:
  TArena() = default;
  ~TArena();
  TArena(const TArena&) = delete;
  TArena& operator=(const TArena&) = delete;

  // Uninitialised bytes, aligned for any scalar.
  void* Allocate(std::size_t size);
  // Lengthens the most recent allocation, [data, data + size), by extra
  // bytes and returns where it now starts: in place while its block has
  // room, otherwise copied to a fresh block. An empty one (size 0) starts
  // unaligned.
  unsigned char* Extend(unsigned char* data, std::size_t size, std::size_t extra);

 private:
  struct TBlock {
    unsigned char* data;
    std::size_t size;
    bool mapped;
  };

  unsigned char* NewBlock(std::size_t atLeast);
  // Unaligned bytes.
  unsigned char* Bytes(std::size_t size);

  std::vector<TBlock> m_blocks;
  unsigned char* m_next = nullptr;
  unsigned char* m_end = nullptr;
};

// An array that grows without ever moving its elements: segment s holds
// 2^(s + kFirstBits) elements, each allocated from an arena when first
// needed. Elements must be trivially copyable.
template <class T>
class TSegmentedArray {
 public:
  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }

  const T& operator[](std::size_t index) const { return *Slot(index); }
  T& operator[](std::size_t index) { return *Slot(index); }

  void push_back(TArena& arena, const T& value) {
    const std::size_t segment = SegmentOf(m_size);
    if (segment == m_segments.size()) {
      m_segments.push_back(
          static_cast<T*>(arena.Allocate(sizeof(T) * (std::size_t(1) << (segment + kFirstBits)))));
    }
    *Slot(m_size) = value;
    ++m_size;
  }

 private:
  static constexpr unsigned kFirstBits = 4;

  static unsigned HighestBit(std::size_t value) {
#if defined(__GNUC__)
    return 63u - static_cast<unsigned>(__builtin_clzll(value));
#else
    unsigned bit = 0;
    while (value >>= 1) ++bit;
    return bit;
#endif
  }
  static std::size_t SegmentOf(std::size_t index) { return HighestBit((index >> kFirstBits) + 1); }
  T* Slot(std::size_t index) const {
    const std::size_t segment = SegmentOf(index);
    const std::size_t first = ((std::size_t(1) << segment) - 1) << kFirstBits;
    return m_segments[segment] + (index - first);
  }

  std::vector<T*> m_segments;
  std::size_t m_size = 0;
};

}  // namespace NZARNCORE
