#include "zarncore/Arena.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#if !defined(_WIN32)
#include <sys/mman.h>
#endif

namespace NZARNCORE {
namespace {

constexpr std::size_t kFirstBlock = std::size_t(64) << 10;
constexpr std::size_t kLargestBlock = std::size_t(4) << 20;
// The largest block shared with children: what a small inventory needs.
constexpr std::size_t kSharedBlockAtMost = std::size_t(256) << 10;
constexpr std::size_t kAlignment = alignof(std::max_align_t);
// The other thread makes a block ready several times faster than the
// arena fills one, and a block made ready that the arena never takes adds
// to the peak memory: one ahead is enough.
constexpr std::size_t kBlocksAhead = 1;
// A write this far apart reaches every page, whatever their size here.
constexpr std::size_t kSmallestPage = 4096;
// A block made ready in huge pages is quicker to fill and to let go, where
// the system has them at hand; where it must first gather them, one block
// takes tens of milliseconds, and the thread keeps to small pages after the
// first that takes longer than this.
constexpr std::chrono::milliseconds kSlowBlock{4};

std::size_t RoundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

// Asks the system for every whole page of the block at once, which costs
// less than a fault for each; false where the system cannot.
bool Populate(unsigned char* data, std::size_t size) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  const std::uintptr_t begin = RoundUp(reinterpret_cast<std::uintptr_t>(data), kSmallestPage);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kSmallestPage - 1);
  return begin < end &&
         madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
#else
  static_cast<void>(data);
  static_cast<void>(size);
  return false;
#endif
}

// Whether the arenas this thread fills take blocks shared with children.
thread_local bool t_sharedWithChildren = false;

}  // namespace

// The blocks shared with children that no arena holds, to be taken again.
// Their sizes are powers of two, so that every block given back fits a
// later request and the pool never holds more than the most that were in
// use at once.
class TArena::TSharedBlocks {
 public:
  static TSharedBlocks& Instance() {
    static TSharedBlocks* const blocks = new TSharedBlocks();  // outlives every arena
    return *blocks;
  }

  // Null data where the system has no shared memory to give.
  TBlock Take(std::size_t atLeast) {
    std::size_t size = kFirstBlock;
    while (size < atLeast) size *= 2;
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto free = std::find_if(m_free.begin(), m_free.end(),
                                   [size](const TBlock& block) { return block.size == size; });
    if (free != m_free.end()) {
      const TBlock block = *free;
      m_free.erase(free);
      return block;
    }
    // Room for every block made, so that giving one back never allocates.
    m_free.reserve(m_made + 1);
    unsigned char* const data = Map(size);
    if (data != nullptr) ++m_made;
    return TBlock{data, size, true};
  }

  void Give(const TBlock& block) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(block);
  }

 private:
  static unsigned char* Map(std::size_t size) {
#if defined(_WIN32)
    static_cast<void>(size);
    return nullptr;
#else
    void* const data =
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return data == MAP_FAILED ? nullptr : static_cast<unsigned char*>(data);
#endif
  }

  std::mutex m_mutex;
  std::vector<TBlock> m_free;
  std::size_t m_made = 0;
};

// The thread that makes blocks of the largest size ready, their pages
// written once so that the system has given them, and the blocks it has
// made ready and the arena has not taken yet.
class TArena::TAhead {
 public:
  // The room for the blocks made ready is taken here, so that the other
  // thread never allocates, nor fails to.
  TAhead() { m_ready.reserve(kBlocksAhead); }
  ~TAhead() {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_wake.notify_one();
    if (m_worker.joinable()) m_worker.join();
    for (const TBlock& block : m_ready) FreeBlock(block);
  }
  TAhead(const TAhead&) = delete;
  TAhead& operator=(const TAhead&) = delete;

  // A block made ready, if there is one yet; the first call starts the
  // thread.
  std::optional<TBlock> Take() {
    if (!m_started) {
      m_started = true;
      Start();
      return std::nullopt;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_ready.empty()) return std::nullopt;
    const TBlock block = m_ready.front();
    m_ready.erase(m_ready.begin());
    m_wake.notify_one();
    return block;
  }

 private:
  void Start() {
    try {
      m_worker = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
      // No thread to spare: the arena makes its blocks itself, as always.
    }
  }

  void Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      m_wake.wait(lock, [this] { return m_stop || m_ready.size() < kBlocksAhead; });
      if (m_stop) return;
      lock.unlock();
      const TBlock block = m_hugePages ? MakeHugeBlock() : MakeBlock(kLargestBlock);
      if (block.data != nullptr) TouchTimed(block);
      lock.lock();
      if (block.data == nullptr) return;
      m_ready.push_back(block);
    }
  }

  // A block of the largest size, aligned to and asking for huge pages where
  // the system has them; null data where it has no memory to give.
  static TBlock MakeHugeBlock() {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    void* const data = std::aligned_alloc(kHugePage, kLargestBlock);
    if (data != nullptr) madvise(data, kLargestBlock, MADV_HUGEPAGE);
    return TBlock{static_cast<unsigned char*>(data), kLargestBlock};
#else
    return MakeBlock(kLargestBlock);
#endif
  }

  // Huge pages no more once a block was slow to come.
  void TouchTimed(const TBlock& block) {
    const auto start = std::chrono::steady_clock::now();
    Touch(block);
    if (std::chrono::steady_clock::now() - start > kSlowBlock) m_hugePages = false;
  }

  static void Touch(const TBlock& block) {
    if (Populate(block.data, block.size)) {
      // And the pages the block starts and ends within.
      static_cast<volatile unsigned char*>(block.data)[0] = 0;
      static_cast<volatile unsigned char*>(block.data)[block.size - 1] = 0;
      return;
    }
    for (std::size_t at = 0; at < block.size; at += kSmallestPage) {
      static_cast<volatile unsigned char*>(block.data)[at] = 0;
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::vector<TBlock> m_ready;
  bool m_stop = false;
  bool m_started = false;   // only the arena's thread reads and writes it
  bool m_hugePages = true;  // only the other thread reads and writes it
  std::thread m_worker;
};

TArena::TFillingAhead::TFillingAhead(TArena& arena)
    : m_arena(arena), m_outermost(!arena.m_fillingAhead) {
  m_arena.m_fillingAhead = true;
}

TArena::TFillingAhead::~TFillingAhead() {
  if (!m_outermost) return;
  m_arena.m_ahead.reset();
  m_arena.m_fillingAhead = false;
}

TArena::TSharedWithChildren::TSharedWithChildren() : m_outermost(!t_sharedWithChildren) {
  t_sharedWithChildren = true;
}

TArena::TSharedWithChildren::~TSharedWithChildren() {
  if (m_outermost) t_sharedWithChildren = false;
}

TArena::TArena() = default;

TArena::~TArena() {
  m_ahead.reset();
  for (const TBlock& block : m_blocks) {
    MarkHandedOut(block.data, block.size);
    FreeBlock(block);
  }
}

void TArena::Adopt(TArena& other) {
  other.m_ahead.reset();
  m_blocks.insert(m_blocks.end(), other.m_blocks.begin(), other.m_blocks.end());
  other.m_blocks.clear();
  other.m_next = other.m_end = nullptr;
}

// Null data when the system has no memory to give.
TArena::TBlock TArena::MakeBlock(std::size_t size) {
  if (t_sharedWithChildren && size <= kSharedBlockAtMost) {
    const TBlock shared = TSharedBlocks::Instance().Take(size);
    if (shared.data != nullptr) return shared;
  }
  return TBlock{static_cast<unsigned char*>(std::malloc(size)), size};
}

void TArena::FreeBlock(const TBlock& block) {
  if (block.shared) return TSharedBlocks::Instance().Give(block);
  std::free(block.data);
}

unsigned char* TArena::NewBlock(std::size_t atLeast) {
  const std::size_t grown = m_blocks.empty() ? kFirstBlock : m_blocks.back().size * 2;
  const std::size_t size = std::max(std::min(grown, kLargestBlock), RoundUp(atLeast, kAlignment));
  // Room to record the block first, so that no allocated block goes unrecorded.
  m_blocks.reserve(m_blocks.size() + 1);
  std::optional<TBlock> ready;
  if (m_fillingAhead && size == kLargestBlock) {
    if (m_ahead == nullptr) m_ahead = std::make_unique<TAhead>();
    ready = m_ahead->Take();
  }
  const TBlock block = ready ? *ready : MakeBlock(size);
  if (block.data == nullptr) throw std::bad_alloc();
  MarkNotHandedOut(block.data, block.size);
  m_blocks.push_back(block);
  m_next = block.data;
  m_end = block.data + block.size;
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

void* TArenaResource::do_allocate(std::size_t bytes, std::size_t alignment) {
  if (alignment <= kAlignment) return m_arena.Allocate(bytes);
  const std::uintptr_t start =
      reinterpret_cast<std::uintptr_t>(m_arena.Allocate(bytes + alignment));
  return reinterpret_cast<void*>(RoundUp(start, alignment));
}

}  // namespace NZARNCORE
