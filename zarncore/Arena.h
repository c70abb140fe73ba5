#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <vector>

#include "host/ZarnApi.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZARN_ARENA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZARN_ARENA_SANITIZED 1
#endif
#endif
#if defined(ZARN_ARENA_SANITIZED)
#include <sanitizer/asan_interface.h>
#endif

namespace NZARNCORE {

// Memory handed out by bumping a pointer through large blocks and released
// all at once with the arena. A large inventory is written once and read
// many times, so nothing is freed piecemeal. The blocks the arena makes
// itself are plain pages: where the system must first gather a huge page,
// a single run waits for it far longer than small pages ever cost.
class ZARN_API TArena {
 public:
  // While one lives, large blocks are made ready on another thread as this
  // one fills the arena: zeroing fresh pages is much of the cost of
  // building a large inventory, and it then runs on a second core. The
  // thread starts only once the arena needs its largest blocks, so that a
  // small inventory never starts one, and it has ended, with every block
  // it made ready, when the scope ends. It makes them in huge pages for as
  // long as the system gives those quickly. Within another one's scope,
  // one does nothing.
  class ZARN_API TFillingAhead {
   public:
    explicit TFillingAhead(TArena& arena);
    ~TFillingAhead();
    TFillingAhead(const TFillingAhead&) = delete;
    TFillingAhead& operator=(const TFillingAhead&) = delete;

   private:
    TArena& m_arena;
    bool m_outermost;
  };

  // While one lives, the arenas its thread fills take their blocks of up
  // to 256 KiB from memory shared with the processes this one forks: a
  // child then reads what was loaded for it where it lies, and loading the
  // next one writes to no page that a fork protected, each of which would
  // have cost a fault and a copy. Such a block is taken again only once
  // its arena has ended, so whoever forks keeps the arena until the child
  // is done with it. Within another one's scope, one does nothing.
  class ZARN_API TSharedWithChildren {
   public:
    TSharedWithChildren();
    ~TSharedWithChildren();
    TSharedWithChildren(const TSharedWithChildren&) = delete;
    TSharedWithChildren& operator=(const TSharedWithChildren&) = delete;

   private:
    bool m_outermost;
  };

  TArena();
  ~TArena();
  TArena(const TArena&) = delete;
  TArena& operator=(const TArena&) = delete;

  // Takes over the blocks of another arena, which is left empty: what was
  // handed out from them lives as long as this one.
  void Adopt(TArena& other);

  // Uninitialised bytes, aligned for any scalar.
  void* Allocate(std::size_t size);
  // Lengthens the most recent allocation, [data, data + size), by extra
  // bytes and returns where it now starts: in place while its block has
  // room, otherwise copied to a fresh block. An empty one (size 0) starts
  // unaligned.
  unsigned char* Extend(unsigned char* data, std::size_t size, std::size_t extra) {
    if (data + size == m_next && static_cast<std::size_t>(m_end - m_next) >= extra) {
      MarkHandedOut(m_next, extra);
      m_next += extra;
      return data;
    }
    return Move(data, size, extra);
  }

 private:
  struct TBlock {
    unsigned char* data;
    std::size_t size;
    bool shared = false;  // with the processes this one forks
  };
  class TAhead;
  class TSharedBlocks;

  static TBlock MakeBlock(std::size_t size);
  static void FreeBlock(const TBlock& block);

  // Under AddressSanitizer the arena says which of its bytes are handed out,
  // so a read or write past the newest allocation, or into the gaps that
  // alignment leaves, is reported as it would be on the heap.
  static void MarkHandedOut(const unsigned char* data, std::size_t size) {
#if defined(ZARN_ARENA_SANITIZED)
    ASAN_UNPOISON_MEMORY_REGION(data, size);
#else
    static_cast<void>(data);
    static_cast<void>(size);
#endif
  }
  static void MarkNotHandedOut(const unsigned char* data, std::size_t size) {
#if defined(ZARN_ARENA_SANITIZED)
    ASAN_POISON_MEMORY_REGION(data, size);
#else
    static_cast<void>(data);
    static_cast<void>(size);
#endif
  }

  unsigned char* NewBlock(std::size_t atLeast);
  // Unaligned bytes.
  unsigned char* Bytes(std::size_t size) {
    if (static_cast<std::size_t>(m_end - m_next) < size) NewBlock(size);
    unsigned char* const data = m_next;
    m_next += size;
    MarkHandedOut(data, size);
    return data;
  }
  unsigned char* Move(unsigned char* data, std::size_t size, std::size_t extra);

  std::vector<TBlock> m_blocks;
  unsigned char* m_next = nullptr;
  unsigned char* m_end = nullptr;
  bool m_fillingAhead = false;      // while a TFillingAhead lives
  std::unique_ptr<TAhead> m_ahead;  // from the first largest block then
};

// Memory for tables that live as long as an arena: taken from it, and
// given back only with it, so that letting a table go touches none of its
// pages.
class ZARN_API TArenaResource : public std::pmr::memory_resource {
 public:
  explicit TArenaResource(TArena& arena) : m_arena(arena) {}

 private:
  void* do_allocate(std::size_t bytes, std::size_t alignment) override;
  void do_deallocate(void*, std::size_t, std::size_t) override {}
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }

  TArena& m_arena;
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
    if (m_room == 0) NewSegment(arena);
    *m_tail++ = value;
    --m_room;
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

  void NewSegment(TArena& arena) {
    const std::size_t length = std::size_t(1) << (m_segments.size() + kFirstBits);
    m_tail = static_cast<T*>(arena.Allocate(sizeof(T) * length));
    m_segments.push_back(m_tail);
    m_room = length;
  }

  std::vector<T*> m_segments;
  std::size_t m_size = 0;
  T* m_tail = nullptr;  // where the next element goes
  std::size_t m_room = 0;
};

}  // namespace NZARNCORE
