#include "collectors/FileTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "collectors/Collector.h"
#include "collectors/SourceError.h"

namespace NZARNCOLLECT {

namespace {

// Larger files are no records a collector reads.
constexpr std::size_t kFileLimit = std::size_t{64} << 20;

const char kNoConfinement[] =
    "this kernel cannot keep lookups inside the root (openat2 with RESOLVE_IN_ROOT needs "
    "Linux 5.6 or later); nothing was read";

// glibc 2.36 has no wrapper. Links into /proc's descriptors are refused as
// well, should an image hold a live /proc.
int OpenInRoot(int root, const std::string& path, int flags) {
  open_how how{};
  how.flags = static_cast<unsigned>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(syscall(SYS_openat2, root, path.c_str(), &how, sizeof how));
}

class TDescriptor {
 public:
  explicit TDescriptor(int fd) : m_fd(fd) {}
  ~TDescriptor() {
    if (m_fd >= 0) close(m_fd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return m_fd; }
  int Release() { return std::exchange(m_fd, -1); }

 private:
  int m_fd;
};

struct TFolderCloser {
  void operator()(DIR* folder) const { closedir(folder); }
};

// The system's words for an error, as the middle of a sentence.
std::string Reason(int error) {
  std::string reason = std::strerror(error);
  if (!reason.empty())
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  return reason;
}

std::string Problem(const std::string& path, int error, const char* verb) {
  switch (error) {
    case EACCES:
    case EPERM:
      return std::string("no permission to ") + verb + " " + path;
    case ENOENT:
      return path + " does not exist";
    case ENOTDIR:
      return path + " is not a folder";
    default:
      return "cannot " + std::string(verb) + " " + path + ": " + Reason(error);
  }
}

TFileTree::EKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return TFileTree::EKind::File;
  if (S_ISDIR(mode)) return TFileTree::EKind::Folder;
  if (S_ISLNK(mode)) return TFileTree::EKind::Link;
  return TFileTree::EKind::Other;
}

TFileTree::EKind EntryKind(DIR* folder, const dirent& entry) {
  switch (entry.d_type) {
    case DT_REG:
      return TFileTree::EKind::File;
    case DT_DIR:
      return TFileTree::EKind::Folder;
    case DT_LNK:
      return TFileTree::EKind::Link;
    case DT_UNKNOWN:
      break;
    default:
      return TFileTree::EKind::Other;
  }
  struct stat status {};
  if (fstatat(dirfd(folder), entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    return TFileTree::EKind::Other;
  }
  return KindOf(status.st_mode);
}

// The folder part and the last name of an absolute path.
std::pair<std::string, std::string> Split(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

TFileTree::TFileTree(const boost::optional<std::string>& root) {
  if (!root) return;
  TDescriptor folder(open(root->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0) throw TCollectError("--root " + *root + ": " + Reason(errno));
  TDescriptor probe(OpenInRoot(folder.Get(), "/", O_PATH | O_DIRECTORY));
  if (probe.Get() < 0) throw TCollectError("--root " + *root + ": " + kNoConfinement);
  m_root = folder.Release();
}

TFileTree::~TFileTree() {
  for (const int fd : m_kept) close(fd);
  if (m_root >= 0) close(m_root);
}

int TFileTree::Open(const std::string& path, int flags) const {
  if (m_root < 0) return open(path.c_str(), flags | O_CLOEXEC);
  return OpenInRoot(m_root, path, flags);
}

int TFileTree::OpenOrFail(const std::string& path, int flags, const char* verb) const {
  const int fd = Open(path, flags);
  if (fd < 0) throw TSourceError(Problem(path, errno, verb));
  return fd;
}

// Opened without blocking, so that a named pipe in an image cannot hold the
// collection up; only regular files are read.
std::string TFileTree::Read(const std::string& path) const {
  const TDescriptor file(OpenOrFail(path, O_RDONLY | O_NONBLOCK | O_NOCTTY, "read"));
  struct stat status {};
  if (fstat(file.Get(), &status) != 0) throw TSourceError(Problem(path, errno, "read"));
  if (!S_ISREG(status.st_mode)) throw TSourceError(path + " is not a regular file");
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t size = read(file.Get(), buffer, sizeof buffer);
    if (size < 0 && errno == EINTR) continue;
    if (size < 0) throw TSourceError(Problem(path, errno, "read"));
    if (size == 0) return text;
    text.append(buffer, static_cast<std::size_t>(size));
    if (text.size() > kFileLimit) throw TSourceError(path + " is larger than 64 MiB");
  }
}

std::vector<TFileTree::TEntry> TFileTree::List(const std::string& path) const {
  TDescriptor fd(OpenOrFail(path, O_RDONLY | O_DIRECTORY, "list"));
  const std::unique_ptr<DIR, TFolderCloser> folder(fdopendir(fd.Get()));
  if (!folder) throw TSourceError(Problem(path, errno, "list"));
  fd.Release();
  std::vector<TEntry> entries;
  errno = 0;
  while (const dirent* entry = readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      entries.push_back(TEntry{name, EntryKind(folder.get(), *entry)});
  }
  if (errno != 0) throw TSourceError(Problem(path, errno, "list"));
  std::sort(entries.begin(), entries.end(),
            [](const TEntry& a, const TEntry& b) { return a.name < b.name; });
  return entries;
}

// Only the folder is looked up; the link itself is read, never followed.
boost::optional<std::string> TFileTree::LinkTarget(const std::string& path) const {
  const auto parts = Split(path);
  const TDescriptor folder(Open(parts.first, O_PATH | O_DIRECTORY));
  if (folder.Get() < 0) return boost::none;
  char target[4096];
  const ssize_t size = readlinkat(folder.Get(), parts.second.c_str(), target, sizeof target);
  if (size < 0 || static_cast<std::size_t>(size) == sizeof target) return boost::none;
  return std::string(target, static_cast<std::size_t>(size));
}

bool TFileTree::Exists(const std::string& path) const {
  const TDescriptor fd(Open(path, O_PATH));
  return fd.Get() >= 0 || (errno != ENOENT && errno != ENOTDIR);
}

bool TFileTree::IsFolder(const std::string& path) const {
  return TDescriptor(Open(path, O_PATH | O_DIRECTORY)).Get() >= 0;
}

std::string TFileTree::ProgramPath(const std::string& path) {
  if (m_root < 0) return path;
  const int fd = OpenOrFail(path, O_PATH | O_DIRECTORY, "open");
  m_kept.push_back(fd);
  return "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(fd);
}

}  // namespace NZARNCOLLECT
