#include "zarn/state/StateFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
#include <windows.h>

#include "zarncore/WindowsText.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "zarn/output/OutputFile.h"
#include "zarncore/Files.h"
#include "zarncore/Text.h"

namespace NZARN {

namespace {

using TClock = std::chrono::steady_clock;

constexpr std::chrono::seconds kLockWait{5};
constexpr std::chrono::milliseconds kLockRetry{20};
// Far more than a state file of a month's records of a busy log.
constexpr std::size_t kMaxStateBytes = 64 * 1024 * 1024;
constexpr std::int64_t kSecondsADay = 24 * 60 * 60;

const char kFirstRun[] = "; counted as a first run: every event record is new";

// Why an operation on the file failed; a runtime_error.
class TStateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Busy(const std::string& path) {
  return path + ".lock is held by another run for more than " + std::to_string(kLockWait.count()) +
         " s";
}

std::string ReadFailure(const std::string& path, int error) {
  return "cannot read " + path + ": " + NZARNCORE::ErrorReason(error);
}

std::string OpenFailure(const std::string& lockPath, const std::string& reason) {
  return "cannot open " + lockPath + ": " + reason;
}

std::string LockFailure(const std::string& lockPath, const std::string& reason) {
  return "cannot lock " + lockPath + ": " + reason;
}

#if defined(_WIN32)

using TLockHandle = HANDLE;

TLockHandle OpenLockFile(const std::string& lockPath) {
  const HANDLE handle =
      CreateFileW(NZARNCORE::Utf16(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    throw TStateError(OpenFailure(lockPath, NZARNCORE::SystemMessage(GetLastError())));
  return handle;
}

// False while another run holds the lock.
bool TryLock(TLockHandle handle, const std::string& lockPath) {
  OVERLAPPED start{};
  if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start))
    return true;
  const DWORD error = GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
  throw TStateError(LockFailure(lockPath, NZARNCORE::SystemMessage(error)));
}

void CloseLockFile(TLockHandle handle) { CloseHandle(handle); }

std::FILE* OpenState(const std::string& path) {
  if (NZARNCORE::IsFolder(path)) throw TStateError(ReadFailure(path, EISDIR));
  return std::fopen(path.c_str(), "rb");
}

#else

using TLockHandle = int;

TLockHandle OpenLockFile(const std::string& lockPath) {
  const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) throw TStateError(OpenFailure(lockPath, NZARNCORE::ErrorReason(errno)));
  return fd;
}

// False while another run holds the lock.
bool TryLock(TLockHandle fd, const std::string& lockPath) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno == EWOULDBLOCK || errno == EINTR) return false;
  throw TStateError(LockFailure(lockPath, NZARNCORE::ErrorReason(errno)));
}

void CloseLockFile(TLockHandle fd) { close(fd); }

// Only a regular file: a pipe or a device named by mistake must not make
// the check wait.
std::FILE* OpenState(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    throw TStateError("cannot read " + path + ": not a regular file");
  }
  std::FILE* const file = fdopen(fd, "rb");
  if (!file) close(fd);
  return file;
}

#endif

// The lock on FILE.lock, held while it lives; another run holds it only
// while it reads or writes the file.
class TStateLock {
 public:
  explicit TStateLock(const std::string& path)
      : m_lockPath(path + ".lock"), m_handle(OpenLockFile(m_lockPath)) {
    const TClock::time_point until = TClock::now() + kLockWait;
    try {
      while (!TryLock(m_handle, m_lockPath)) {
        if (TClock::now() >= until) throw TStateError(Busy(path));
        std::this_thread::sleep_for(kLockRetry);
      }
    } catch (const TStateError&) {
      CloseLockFile(m_handle);
      throw;
    }
  }
  ~TStateLock() { CloseLockFile(m_handle); }
  TStateLock(const TStateLock&) = delete;
  TStateLock& operator=(const TStateLock&) = delete;

 private:
  std::string m_lockPath;
  TLockHandle m_handle;
};

struct TFileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The file's text; none when it does not exist.
std::optional<std::string> ReadState(const std::string& path) {
  const std::unique_ptr<std::FILE, TFileClose> file(OpenState(path));
  if (!file) {
    if (errno == ENOENT) return std::nullopt;
    throw TStateError(ReadFailure(path, errno));
  }
  std::string text;
  char buffer[65536];
  while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, file.get())) {
    text.append(buffer, read);
    if (text.size() > kMaxStateBytes)
      throw TStateError("cannot read " + path + ": larger than " +
                        std::to_string(kMaxStateBytes / 1024 / 1024) + " MiB");
  }
  if (std::ferror(file.get())) throw TStateError(ReadFailure(path, errno));
  return text;
}

// Written through, a pipe or a device would take the state, or make the
// check wait for a reader; only a regular file is replaced.
void RefuseIrregular(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    throw TStateError("cannot write " + path + ": not a regular file");
}

TEventState ParseState(const std::string& path, const std::string& text) {
  try {
    return TEventState::Parse(text);
  } catch (const std::runtime_error& error) {
    throw TStateError(path + " is no state file of zarn check: " + error.what());
  }
}

}  // namespace

TLoadedState LoadEventState(const std::string& path) {
  try {
    const TStateLock lock(path);
    const std::optional<std::string> text = ReadState(path);
    if (!text) return TLoadedState{TEventState(), path + " does not exist yet" + kFirstRun};
    return TLoadedState{ParseState(path, *text), std::string()};
  } catch (const TStateError& error) {
    return TLoadedState{TEventState(), error.what() + std::string(kFirstRun)};
  }
}

std::string SaveEventState(const std::string& path, const TEventState& run, unsigned maxEventDays) {
  try {
    const TStateLock lock(path);
    RefuseIrregular(path);
    TEventState state;
    try {
      if (const std::optional<std::string> text = ReadState(path)) state = ParseState(path, *text);
    } catch (const TStateError&) {
      // A file that cannot be read counted as a first run: it starts anew.
    }
    state.Merge(run);
    state.ForgetUnseenSince(UnixSeconds() - static_cast<std::int64_t>(maxEventDays) * kSecondsADay);
    return WriteWholeFile(path, state.Text());
  } catch (const TStateError& error) {
    return error.what();
  }
}

std::int64_t UnixSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace NZARN
