#include "collectors/FileTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

#include "collectors/Collector.h"
#include "collectors/SourceError.h"
#include "zarncore/Text.h"

namespace NZARNCOLLECT {

namespace {

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

std::string Size(std::size_t bytes) {
  if (bytes % (std::size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
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
      return "cannot " + std::string(verb) + " " + path + ": " + NZARNCORE::ErrorReason(error);
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

TFileTree::TFileTree(const std::optional<std::string>& root) {
  if (!root) return;
  TDescriptor folder(open(root->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0)
    throw TCollectError("--root " + *root + ": " + NZARNCORE::ErrorReason(errno));
  TDescriptor probe(OpenInRoot(folder.Get(), "/", O_PATH | O_DIRECTORY));
  if (probe.Get() < 0) throw TCollectError("--root " + *root + ": " + kNoConfinement);
  m_root = folder.Release();
}

TFileTree::~TFileTree() {
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

std::string TFileTree::Read(const std::string& path, std::size_t limit) const {
  std::string text;
  EachPiece(path, OpenOrFail(path, O_PATH, "read"), limit,
            [&text](const char* piece, std::size_t size) { text.append(piece, size); });
  return text;
}

std::optional<std::string> TFileTree::ReadIfExists(const std::string& path,
                                                   std::size_t limit) const {
  const int found = Open(path, O_PATH);
  if (found < 0 && (errno == ENOENT || errno == ENOTDIR)) return std::nullopt;
  if (found < 0) throw TSourceError(Problem(path, errno, "read"));
  std::string text;
  EachPiece(path, found, limit,
            [&text](const char* piece, std::size_t size) { text.append(piece, size); });
  return text;
}

void TFileTree::CopyTo(const std::string& path, const std::string& copy, std::size_t limit) const {
  const int found = OpenOrFail(path, O_PATH, "read");
  const TDescriptor target(open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (target.Get() < 0) {
    close(found);
    throw TSourceError(Problem(copy, errno, "write"));
  }
  EachPiece(path, found, limit, [&](const char* piece, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
      const ssize_t written = write(target.Get(), piece + done, size - done);
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) throw TSourceError(Problem(copy, errno, "write"));
      done += static_cast<std::size_t>(written);
    }
  });
}

// The file was found without being opened (O_PATH); only a regular file is
// then opened, through this process's link to what was found, so that
// nothing else can be swapped in between.
void TFileTree::EachPiece(const std::string& path, int found, std::size_t limit,
                          const std::function<void(const char*, std::size_t)>& each) const {
  const TDescriptor where(found);
  struct stat status {};
  if (fstat(where.Get(), &status) != 0) throw TSourceError(Problem(path, errno, "read"));
  if (!S_ISREG(status.st_mode)) throw TSourceError(path + " is not a regular file");
  const std::string link = "/proc/self/fd/" + std::to_string(where.Get());
  const TDescriptor file(open(link.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
  if (file.Get() < 0) throw TSourceError(Problem(path, errno, "read"));
  char buffer[65536];
  for (std::size_t total = 0;;) {
    const ssize_t size = read(file.Get(), buffer, std::min(sizeof buffer, limit + 1 - total));
    if (size < 0 && errno == EINTR) continue;
    if (size < 0) throw TSourceError(Problem(path, errno, "read"));
    if (size == 0) return;
    total += static_cast<std::size_t>(size);
    if (total > limit) throw TSourceError(path + " is larger than " + Size(limit));
    each(buffer, static_cast<std::size_t>(size));
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
std::optional<std::string> TFileTree::LinkTarget(const std::string& path) const {
  const auto parts = Split(path);
  const TDescriptor folder(Open(parts.first, O_PATH | O_DIRECTORY));
  if (folder.Get() < 0) return std::nullopt;
  char target[4096];
  const ssize_t size = readlinkat(folder.Get(), parts.second.c_str(), target, sizeof target);
  if (size < 0 || static_cast<std::size_t>(size) == sizeof target) return std::nullopt;
  return std::string(target, static_cast<std::size_t>(size));
}

bool TFileTree::Exists(const std::string& path) const {
  const TDescriptor fd(Open(path, O_PATH));
  return fd.Get() >= 0 || (errno != ENOENT && errno != ENOTDIR);
}

std::optional<TFileTree::TFound> TFileTree::Find(const std::string& path) const {
  const TDescriptor found(Open(path, O_PATH));
  if (found.Get() < 0 && (errno == ENOENT || errno == ENOTDIR || errno == ELOOP))
    return std::nullopt;
  struct stat status {};
  if (found.Get() < 0 || fstat(found.Get(), &status) != 0)
    throw TSourceError(Problem(path, errno, "look up"));
  const bool isNull = S_ISCHR(status.st_mode) && status.st_rdev == makedev(1, 3);
  return TFound{KindOf(status.st_mode), static_cast<std::size_t>(status.st_size), isNull};
}

bool TFileTree::IsFolder(const std::string& path) const {
  return TDescriptor(Open(path, O_PATH | O_DIRECTORY)).Get() >= 0;
}

}  // namespace NZARNCOLLECT
