#include "zarncore/loader/PieceSources.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

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
std::unique_ptr<TMappedSource> TMappedSource::Map(std::FILE*, const std::string&) {
  return nullptr;
}

TMappedSource::~TMappedSource() = default;

std::string_view TMappedSource::Next() { return std::string_view(); }

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

}  // namespace

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
  g_mappedEnd = nullptr;
  g_mappedBegin = nullptr;
  munmap(const_cast<char*>(m_data), m_size);
}

// Pieces start a whole number of pages into the mapping, so the one before
// is let go exactly.
std::string_view TMappedSource::Next() {
  if (m_next != m_start)
    madvise(const_cast<char*>(m_data) + m_start, m_next - m_start, MADV_DONTNEED);
  m_start = m_next;
  m_next = std::min(m_size, m_next + kPieceSize);
  CheckUnchanged();
  return std::string_view(m_data + m_start, m_next - m_start);
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
