#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <optional>

namespace NZARNCOLLECT {

// A machine's files, read by their paths on that machine
// ("/var/lib/dpkg/status"): this machine's own, or those of a machine image
// under a root folder. Under a root every lookup stays inside it, through
// "..", absolute symbolic links and every other link alike, as the kernel
// resolves each path with the root as "/" (openat2 with RESOLVE_IN_ROOT).
// Reading fails with TSourceError, which says why in the record's words.
class TFileTree {
 public:
  enum class EKind { File, Folder, Link, Other };
  struct TEntry {
    std::string name;
    EKind kind;  // of the entry itself, a link not followed
  };

  // The machine's own files without a root; throws TCollectError when the
  // root is no folder or the kernel cannot keep lookups inside it.
  explicit TFileTree(const std::optional<std::string>& root);
  ~TFileTree();
  TFileTree(const TFileTree&) = delete;
  TFileTree& operator=(const TFileTree&) = delete;

  bool Rooted() const { return m_root >= 0; }

  // Larger files are no records a collector reads.
  static constexpr std::size_t kFileLimit = std::size_t{64} << 20;

  // The contents of a regular file of at most limit bytes. Nothing else is
  // opened to be read: a device, a named pipe or a socket is refused after
  // a lookup that opens nothing.
  std::string Read(const std::string& path, std::size_t limit = kFileLimit) const;
  // The same; none when the file does not exist.
  std::optional<std::string> ReadIfExists(const std::string& path,
                                          std::size_t limit = kFileLimit) const;
  // The regular file at path copied, as Read reads it, to a new file copy of
  // this machine, which only its owner may read.
  void CopyTo(const std::string& path, const std::string& copy, std::size_t limit) const;
  // A folder's entries, sorted by name.
  std::vector<TEntry> List(const std::string& path) const;
  // The target of a symbolic link; none when path is no link.
  std::optional<std::string> LinkTarget(const std::string& path) const;
  // False only when path surely does not exist; a path that cannot be
  // looked up for another reason exists, so that reading it says why.
  bool Exists(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  // What path leads to, links followed; none when it leads nowhere (it, or
  // a link's target, does not exist, or the links run in a loop).
  struct TFound {
    EKind kind;
    std::size_t size;
    bool isNull;  // the null device
  };
  std::optional<TFound> Find(const std::string& path) const;

 private:
  // A descriptor, or -1 with errno set.
  int Open(const std::string& path, int flags) const;
  int OpenOrFail(const std::string& path, int flags, const char* verb) const;
  // Hands each piece of the regular file found (an O_PATH descriptor, which
  // it closes) to each.
  void EachPiece(const std::string& path, int found, std::size_t limit,
                 const std::function<void(const char*, std::size_t)>& each) const;

  int m_root = -1;
};

}  // namespace NZARNCOLLECT
