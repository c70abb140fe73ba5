#include "zarn/output/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>
#include <system_error>
#include <utility>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

#include "zarncore/Files.h"
#include "zarncore/Text.h"

namespace NZARN {

namespace fs = std::filesystem;

namespace {

const char kNothingWritten[] = "; nothing was written";

std::string Failure(const std::string& path, int error, const char* outcome = kNothingWritten) {
  return "cannot write " + path + ": " + NZARNCORE::ErrorReason(error) + outcome;
}

#if defined(_WIN32)

// Beside the file, so that the rename stays on its file system, and short,
// so that a long name still leaves room for it.
fs::path TemporaryPath(const fs::path& file) {
  std::random_device random;
  char name[32];
  std::snprintf(name, sizeof name, ".zarn-%08x.partial", random());
  return file.parent_path() / name;
}

int WriteAll(const fs::path& path, const std::string& text) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) return errno;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int error = errno;
  if (std::fclose(file) != 0 || !written) return written ? errno : error;
  return 0;
}

}  // namespace

std::string WriteWholeFile(const std::string& path, const std::string& text) {
  const fs::path temporary = TemporaryPath(path);
  int error = WriteAll(temporary, text);
  std::error_code renamed;
  if (error == 0) fs::rename(temporary, path, renamed);
  if (error == 0 && !renamed) return std::string();
  std::error_code ignored;
  fs::remove(temporary, ignored);
  return Failure(path, error != 0 ? error : renamed.value());
}

#else

// The temporary file while it exists, for the handlers that remove it.
char g_temporary[4096];

const int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

extern "C" void RemoveTemporaryAndEnd(int signal) {
  if (g_temporary[0] != '\0') unlink(g_temporary);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  raise(signal);
}

// While it lives, a signal that ends zarn removes the temporary file first,
// and a file-size limit makes the write fail instead of ending zarn. A
// signal zarn was started to ignore stays ignored.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(const std::string& folder) {
    std::string pattern = folder + "/.zarn-XXXXXX";
    if (pattern.size() >= sizeof g_temporary) {
      m_error = ENAMETOOLONG;
      return;
    }
    std::snprintf(g_temporary, sizeof g_temporary, "%s", pattern.c_str());
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    m_fd = mkostemp(g_temporary, O_CLOEXEC);
    m_error = m_fd < 0 ? errno : 0;
    if (m_fd < 0) g_temporary[0] = '\0';
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndEnd;
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
      sigaction(kEndingSignals[i], nullptr, &m_old[i]);
      if (m_old[i].sa_handler != SIG_IGN) sigaction(kEndingSignals[i], &action, nullptr);
    }
    action.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &action, &m_oldFileSize);
    sigprocmask(SIG_SETMASK, &old, nullptr);
  }

  ~TTemporaryFile() {
    if (m_fd >= 0) close(m_fd);
    if (g_temporary[0] != '\0') unlink(g_temporary);
    g_temporary[0] = '\0';
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
      sigaction(kEndingSignals[i], &m_old[i], nullptr);
    sigaction(SIGXFSZ, &m_oldFileSize, nullptr);
  }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  int Descriptor() const { return m_fd; }
  int Error() const { return m_error; }

  // Renamed onto target; then it is no longer this object's to remove.
  int RenameTo(const std::string& target) {
    if (close(std::exchange(m_fd, -1)) != 0) return errno;
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    const int error = rename(g_temporary, target.c_str()) == 0 ? 0 : errno;
    if (error == 0) g_temporary[0] = '\0';
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return error;
  }

 private:
  int m_fd = -1;
  int m_error = 0;
  struct sigaction m_old[std::size(kEndingSignals)]{};
  struct sigaction m_oldFileSize {};
};

int WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    done += static_cast<std::size_t>(written);
  }
  return 0;
}

// The file that path leads to through symbolic links, whether it exists
// or not; a link's own folder is where a relative target starts.
fs::path LinkedFile(fs::path path) {
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) break;
    const fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

// A new file gets the mode the user's umask leaves; a replaced one keeps
// its own, and its owner.
int TakeOver(int fd, const struct stat* old) {
  if (!old) {
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
  }
  if (fchmod(fd, old->st_mode & 07777) != 0) return errno;
  struct stat now {};
  if (fstat(fd, &now) != 0) return errno;
  if (now.st_uid == old->st_uid && now.st_gid == old->st_gid) return 0;
  return fchown(fd, old->st_uid, old->st_gid) == 0 ? 0 : errno;
}

std::string Replace(const std::string& shown, const fs::path& file, const struct stat* old,
                    const std::string& text) {
  const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
  TTemporaryFile temporary(folder.empty() ? "/" : folder);
  if (temporary.Error() != 0) return Failure(shown, temporary.Error());
  int error = WriteAll(temporary.Descriptor(), text);
  if (error == 0) error = TakeOver(temporary.Descriptor(), old);
  if (error == 0) error = temporary.RenameTo(file.string());
  return error == 0 ? std::string() : Failure(shown, error);
}

// A regular file that cannot be replaced (one whose name is gone) is
// truncated first.
std::string WriteThrough(const std::string& path, const std::string& text, bool regular) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0));
  if (fd < 0) return Failure(path, errno);
  const int error = WriteAll(fd, text);
  const int closed = close(fd) == 0 ? 0 : errno;
  if (error != 0 || closed != 0) return Failure(path, error != 0 ? error : closed, "");
  return std::string();
}

}  // namespace

std::string WriteWholeFile(const std::string& path, const std::string& text) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    if (errno != ENOENT) return Failure(path, errno);
    return Replace(path, LinkedFile(path), nullptr, text);
  }
  if (!S_ISREG(status.st_mode)) return WriteThrough(path, text, false);
  const fs::path file = LinkedFile(path);
  struct stat linked {};
  if (stat(file.c_str(), &linked) != 0 || linked.st_ino != status.st_ino ||
      linked.st_dev != status.st_dev) {
    return WriteThrough(path, text, true);
  }
  return Replace(path, file, &status, text);
}

#endif

std::string OutputPathProblem(const std::string& path) {
  if (path.empty()) return "'' is not a file name";
  const char last = path.back();
  if (last == '/' || last == static_cast<char>(fs::path::preferred_separator) ||
      NZARNCORE::IsFolder(path)) {
    return "'" + path + "' is a folder; give the name of a file";
  }
  return std::string();
}

}  // namespace NZARN
