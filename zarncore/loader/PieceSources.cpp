#include "zarncore/loader/PieceSources.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "zarncore/Files.h"
#include "zarncore/Text.h"

namespace NZARNCORE {

namespace {

// A descriptor that is not open can only be a standard stream the caller
// closed.
std::string ReadFailure(const std::string& path, int error) {
  const std::string reason = error == EBADF ? "not open" : ErrorReason(error);
  return path + ": cannot read: " + reason;
}

// Whether a read that found nothing yet may wait for more: a pipe that
// whoever made it left non-blocking says so, and is waited on.
bool WaitedForMore([[maybe_unused]] std::FILE* file) {
#if defined(_WIN32)
  return false;
#else
  if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
  pollfd readable{fileno(file), POLLIN, 0};
  return poll(&readable, 1, -1) >= 0 || errno == EINTR;
#endif
}

std::FILE* OpenFile(const std::string& path, [[maybe_unused]] EFileKind kind) {
#if !defined(_WIN32)
  if (kind == EFileKind::Regular) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status = {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      close(fd);
      throw TInventoryError(path + ": cannot read: not a regular file");
    }
    std::FILE* const file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
  }
#endif
  return std::fopen(path.c_str(), "rb");
}

}  // namespace

TFileSource::TFileSource(std::FILE* file, const std::string& path)
    : m_file(file), m_path(path), m_buffer(new char[kPieceSize]) {}

std::string_view TFileSource::Next() {
  for (;;) {
    std::clearerr(m_file);
    const std::size_t read = std::fread(m_buffer.get(), 1, kPieceSize, m_file);
    if (read != 0 || !std::ferror(m_file)) return std::string_view(m_buffer.get(), read);
    if (!WaitedForMore(m_file)) throw TInventoryError(ReadFailure(m_path, errno));
  }
}

#if defined(_WIN32)
class TMappedSource::TAhead {};

std::unique_ptr<TMappedSource> TMappedSource::Map(std::FILE*, const std::string&) {
  return nullptr;
}

TMappedSource::TMappedSource(const char* data, std::size_t size, std::FILE* file,
                             const std::string& path)
    : m_data(data), m_size(size), m_file(file), m_path(path) {}

TMappedSource::~TMappedSource() = default;

std::string_view TMappedSource::Next() { return std::string_view(); }

std::string_view TMappedRange::Next() { return std::string_view(); }

void TMappedSource::CheckUnchanged() const {}
#else
namespace {

// The mapping being read, for the handler of SIGBUS: a page of it past the
// end of a file that was cut short since it was mapped faults when it is
// read. One file at a time is read so.
std::atomic<char*> g_mappedBegin{nullptr};
std::atomic<char*> g_mappedEnd{nullptr};
std::atomic<bool> g_mappedCutShort{false};
struct sigaction g_previousBusHandler;
std::size_t g_pageSize = 0;

// A fault in the mapping: the rest of it is read as zeros, which no
// inventory holds, and the load is told. Any other fault is left to the
// handler there was before.
void OnBusError(int signal, siginfo_t* info, void* context) {
  char* const begin = g_mappedBegin.load();
  char* const end = g_mappedEnd.load();
  char* const at = static_cast<char*>(info->si_addr);
  if (begin && at >= begin && at < end) {
    char* const page = begin + (static_cast<std::size_t>(at - begin) & ~(g_pageSize - 1));
    if (mmap(page, static_cast<std::size_t>(end - page), PROT_READ,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      g_mappedCutShort = true;
      return;
    }
  }
  if (g_previousBusHandler.sa_flags & SA_SIGINFO) {
    g_previousBusHandler.sa_sigaction(signal, info, context);
    return;
  }
  // The fault comes again on return, and ends the process as it would
  // have.
  sigaction(SIGBUS, &g_previousBusHandler, nullptr);
}

// Whether the handler is in place; without it, a file is not mapped.
bool HandleBusErrors() {
  static const bool installed = [] {
    g_pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &g_previousBusHandler) == 0;
  }();
  return installed;
}

// Pieces start a whole number of pages into the mapping, so the one before
// is let go exactly; one that starts where a part read apart ended lets go
// of the page before it too.
void LetGo(const char* data, std::size_t size) {
  if (size == 0) return;
  const std::size_t before = reinterpret_cast<std::uintptr_t>(data) & (g_pageSize - 1);
  madvise(const_cast<char*>(data - before), size + before, MADV_DONTNEED);
}

// Where the piece that holds offset ends: pieces end a whole number of
// pieces into the text, wherever the one before ended.
std::size_t PieceEnd(std::size_t offset, std::size_t size) {
  return std::min(size, (offset / kPieceSize + 1) * kPieceSize);
}

// Maps the pages of a piece in one call instead of a fault for every few;
// where the system cannot, or the file was cut short there, the reader's
// faults map them as before.
void MapIn(const char* data, std::size_t size) {
#if defined(MADV_POPULATE_READ)
  if (size != 0) madvise(const_cast<char*>(data), size, MADV_POPULATE_READ);
#else
  static_cast<void>(data);
  static_cast<void>(size);
#endif
}

// A file of fewer pieces is read before a thread would have started.
constexpr std::size_t kPiecesForThread = 4;

}  // namespace

// The thread that lets go of the piece read last and maps the one after
// the piece being read, one request at a time: at most three pieces are
// mapped at once.
class TMappedSource::TAhead {
 public:
  TAhead() : m_worker([this] { Work(); }) {}
  ~TAhead() {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_wake.notify_one();
    m_worker.join();
  }
  TAhead(const TAhead&) = delete;
  TAhead& operator=(const TAhead&) = delete;

  // Waits for the request before, so that no piece is mapped again once
  // let go.
  void Ask(std::string_view letGo, std::string_view mapIn) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [this] { return !m_asked; });
    m_letGo = letGo;
    m_mapIn = mapIn;
    m_asked = true;
    lock.unlock();
    m_wake.notify_one();
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      m_wake.wait(lock, [this] { return m_stop || m_asked; });
      if (m_stop) return;
      const std::string_view letGo = m_letGo;
      const std::string_view mapIn = m_mapIn;
      lock.unlock();
      LetGo(letGo.data(), letGo.size());
      MapIn(mapIn.data(), mapIn.size());
      lock.lock();
      m_asked = false;
      m_wake.notify_one();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::string_view m_letGo;
  std::string_view m_mapIn;
  bool m_asked = false;
  bool m_stop = false;
  std::thread m_worker;  // last, so that it starts with the rest in place
};

TMappedSource::TMappedSource(const char* data, std::size_t size, std::FILE* file,
                             const std::string& path)
    : m_data(data), m_size(size), m_file(file), m_path(path) {
  if (size < kPiecesForThread * kPieceSize) return;
  try {
    m_ahead = std::make_unique<TAhead>();
  } catch (const std::system_error&) {
    // No thread to spare: the pieces are let go here, and faulted in.
  }
}

std::unique_ptr<TMappedSource> TMappedSource::Map(std::FILE* file, const std::string& path) {
  struct stat status = {};
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0) {
    return nullptr;
  }
  if (!HandleBusErrors()) return nullptr;
  const auto size = static_cast<std::size_t>(status.st_size);
  void* const data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fileno(file), 0);
  if (data == MAP_FAILED) return nullptr;
  char* const begin = static_cast<char*>(data);
  char* none = nullptr;
  if (!g_mappedBegin.compare_exchange_strong(none, begin)) {
    munmap(data, size);
    return nullptr;
  }
  g_mappedCutShort = false;
  g_mappedEnd = begin + size;
  return std::make_unique<TMappedSource>(begin, size, file, path);
}

TMappedSource::~TMappedSource() {
  m_ahead.reset();
  g_mappedEnd = nullptr;
  g_mappedBegin = nullptr;
  munmap(const_cast<char*>(m_data), m_size);
}

std::string_view TMappedSource::Next() {
  // What was mapped ahead of a place read apart is let go with the piece.
  const std::string_view last(m_data + m_start, std::min(m_next, m_mapped) - m_start);
  m_start = m_next;
  m_next = PieceEnd(m_next, m_size);
  m_mapped = m_ahead ? PieceEnd(m_next, m_size) : m_next;
  if (m_ahead) {
    m_ahead->Ask(last, std::string_view(m_data + m_next, m_mapped - m_next));
  } else {
    LetGo(last.data(), last.size());
  }
  CheckUnchanged();
  return std::string_view(m_data + m_start, m_next - m_start);
}

std::string_view TMappedRange::Next() {
  LetGo(m_text.data() + m_start, m_next - m_start);
  m_start = m_next;
  m_next = PieceEnd(m_next, m_text.size());
  MapIn(m_text.data() + m_start, m_next - m_start);
  return m_text.substr(m_start, m_next - m_start);
}

// Cut short within its last page, a file reads as zeros there without a
// fault; its size tells.
void TMappedSource::CheckUnchanged() const {
  struct stat status = {};
  const bool cutShort = g_mappedCutShort || (fstat(fileno(m_file), &status) == 0 &&
                                             static_cast<std::size_t>(status.st_size) < m_size);
  if (cutShort)
    throw TInventoryError(m_path + ": cannot read: the file was cut short while it was read");
}
#endif

std::string_view TTextSource::Next() {
  const std::string_view piece = m_rest.substr(0, kPieceSize);
  m_rest.remove_prefix(piece.size());
  return piece;
}

// Windows refuses to open a folder as a file and reports "permission
// denied"; the user is told that the path is a folder, as on Linux.
TFile OpenInventoryFile(const std::string& path, EFileKind kind) {
  if (IsFolder(path)) throw TInventoryError(ReadFailure(path, EISDIR));
  TFile file(OpenFile(path, kind));
  if (!file) throw TInventoryError(ReadFailure(path, errno));
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

}  // namespace NZARNCORE
