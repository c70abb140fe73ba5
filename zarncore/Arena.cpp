#include "zarncore/Arena.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace NZARNCORE {
namespace {

constexpr std::size_t kFirstBlock = std::size_t(64) << 10;
constexpr std::size_t kLargestBlock = std::size_t(4) << 20;
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kAlignment = alignof(std::max_align_t);
// Enough for the arena's filling never to wait for the other thread, even
// when the system runs that thread late.
constexpr std::size_t kBlocksAhead = 2;
// A write this far apart reaches every page, whatever their size here.
constexpr std::size_t kSmallestPage = 4096;

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
      const TBlock block = MakeBlock(kLargestBlock);
      if (block.data != nullptr) Touch(block);
      lock.lock();
      if (block.data == nullptr) return;
      m_ready.push_back(block);
    }
  }

  static void Touch(const TBlock& block) {
    for (std::size_t at = 0; at < block.size; at += kSmallestPage) {
      static_cast<volatile unsigned char*>(block.data)[at] = 0;
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::vector<TBlock> m_ready;
  bool m_stop = false;
  bool m_started = false;  // only the arena's thread reads and writes it
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

TArena::TArena() = default;

TArena::~TArena() {
  m_ahead.reset();
  for (const TBlock& block : m_blocks) {
    MarkHandedOut(block.data, block.size);
    FreeBlock(block);
  }
}

// Null data when the system has no memory to give.
TArena::TBlock TArena::MakeBlock(std::size_t size) {
  TBlock block{nullptr, size, false};
#if defined(__linux__)
  if (size >= kHugePage) {
    block.size = RoundUp(size, kHugePage);
    block.data = MapHugePages(block.size);
    block.mapped = block.data != nullptr;
    if (block.mapped) return block;
    block.size = size;
  }
#endif
  block.data = static_cast<unsigned char*>(std::malloc(size));
  return block;
}

void TArena::FreeBlock(const TBlock& block) {
#if defined(__linux__)
  if (block.mapped) {
    munmap(block.data, block.size);
    return;
  }
#endif
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

}  // namespace NZARNCORE
