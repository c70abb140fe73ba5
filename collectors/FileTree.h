#pragma once

#include <string>
#include <vector>

#include <boost/optional.hpp>

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
  explicit TFileTree(const boost::optional<std::string>& root);
  ~TFileTree();
  TFileTree(const TFileTree&) = delete;
  TFileTree& operator=(const TFileTree&) = delete;

  bool Rooted() const { return m_root >= 0; }

  // The contents of a regular file.
  std::string Read(const std::string& path) const;
  // A folder's entries, sorted by name.
  std::vector<TEntry> List(const std::string& path) const;
  // The target of a symbolic link; none when path is no link.
  boost::optional<std::string> LinkTarget(const std::string& path) const;
  // False only when path surely does not exist; a path that cannot be
  // looked up for another reason exists, so that reading it says why.
  bool Exists(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  // A path by which a program reaches the folder at path. Under a root the
  // folder is opened inside it, and the program reaches it through this
  // process's descriptor (/proc/PID/fd/N), so that its way there cannot
  // lead out of the root; the descriptor lives as long as the tree.
  std::string ProgramPath(const std::string& path);

 private:
  // A descriptor, or -1 with errno set.
  int Open(const std::string& path, int flags) const;
  int OpenOrFail(const std::string& path, int flags, const char* verb) const;

  int m_root = -1;
  std::vector<int> m_kept;  // descriptors handed to programs
};

}  // namespace NZARNCOLLECT
