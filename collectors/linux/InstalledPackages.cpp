#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <utility>

#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/TimedProgram.h"
#include "collectors/linux/LinuxSources.h"
#include "zarncore/Schema.h"
#include "zarncore/Text.h"

namespace NZARNCOLLECT {

namespace {

using NZARNCORE::NSchema::TInstalledRpm;

const char* const kClass = TInstalledRpm::kClass;
const char kDpkgStatus[] = "/var/lib/dpkg/status";
const char kDpkgJournal[] = "/var/lib/dpkg/updates";
const char kRpmSource[] = "rpm -qa";
const char kNoDatabaseSource[] = "the package manager";
const char kNoDatabase[] =
    "no package database: neither /var/lib/dpkg/status nor an rpm database was found";

// Where rpm keeps its database, newer systems first, and the files that
// make a folder one, whichever of its formats it is in. rpm run on a folder
// without them would create a database there.
const char* const kRpmFolders[] = {"/usr/lib/sysimage/rpm", "/var/lib/rpm"};
const char* const kRpmDatabases[] = {"rpmdb.sqlite", "Packages.db", "Packages"};

// An image's rpm database is copied aside before rpm opens it: rpm writes
// beside a database it reads (an sqlite one gets its -shm and -wal files).
constexpr std::size_t kRpmFileLimit = std::size_t{1} << 30;

constexpr std::chrono::seconds kRpmLimit{20};

boost::json::object Product(std::string name) {
  return boost::json::object{{TInstalledRpm::kProductName, std::move(name)}};
}

std::string Trimmed(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t\r") + 1 - begin);
}

// One package of dpkg's records, as far as the list needs it.
struct TDpkgRecord {
  std::string package;
  std::string architecture;
  std::string multiArch;
  std::string version;
  std::string status;
};

// Stanzas apart by blank lines; a line that starts with a blank continues
// the field before it.
template <class TEach>
void EachStanza(const std::string& text, TEach each) {
  TDpkgRecord record;
  const auto finish = [&] {
    if (!record.package.empty()) each(std::move(record));
    record = TDpkgRecord();
  };
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    const std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    if (Trimmed(line).empty()) {
      finish();
      continue;
    }
    const std::size_t colon = line.find(':');
    if (line[0] == ' ' || line[0] == '\t' || colon == std::string::npos) continue;
    const std::string field = line.substr(0, colon);
    const std::string value = Trimmed(line.substr(colon + 1));
    if (field == "Package") record.package = value;
    if (field == "Architecture") record.architecture = value;
    if (field == "Multi-Arch") record.multiArch = value;
    if (field == "Version") record.version = value;
    if (field == "Status") record.status = value;
  }
  finish();
}

// dpkg's status field is "want flag state"; these states have the package
// unpacked and configured, with at most its triggers still to run.
bool IsInstalled(const std::string& status) {
  const std::string state = status.substr(status.rfind(' ') + 1);
  return state == "installed" || state == "triggers-pending" || state == "triggers-awaited";
}

// As dpkg-query's ${binary:Package}: the architecture is added where the
// name alone could stand for another package, that is for a package of
// which each architecture may be installed, and for one of a foreign
// architecture. The native one is dpkg's own.
std::string BinaryPackage(const TDpkgRecord& record, const std::string& native) {
  const std::string& arch = record.architecture;
  if (arch.empty() || arch == "all") return record.package;
  if (record.multiArch == "same" || (!native.empty() && arch != native))
    return record.package + ":" + arch;
  return record.package;
}

// The journal's files are named by number; dpkg applies them in order.
bool IsJournalFile(const std::string& name) {
  return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

std::vector<std::string> DpkgJournal(const TFileTree& files) {
  std::vector<std::string> journal;
  if (!files.Exists(kDpkgJournal)) return journal;
  for (const TFileTree::TEntry& entry : files.List(kDpkgJournal)) {
    if (IsJournalFile(entry.name))
      journal.push_back(files.Read(std::string(kDpkgJournal) + "/" + entry.name));
  }
  return journal;
}

bool IsRpmDatabase(const TFileTree& files, const char* folder) {
  for (const char* database : kRpmDatabases) {
    if (files.Exists(std::string(folder) + "/" + database)) return true;
  }
  return false;
}

std::optional<std::string> RpmFolder(const TFileTree& files) {
  for (const char* folder : kRpmFolders) {
    if (IsRpmDatabase(files, folder)) return std::string(folder);
  }
  return std::nullopt;
}

// A private folder, removed with what it holds when it goes.
class TScratchFolder {
 public:
  TScratchFolder() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zarn-rpmdb.XXXXXX";
    if (!mkdtemp(pattern.data()))
      throw TSourceError("cannot make a folder to copy the rpm database into: " +
                         NZARNCORE::ErrorReason(errno));
    m_path = pattern;
  }
  ~TScratchFolder() {
    for (const std::string& name : m_files) unlink((m_path + "/" + name).c_str());
    rmdir(m_path.c_str());
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::string& Path() const { return m_path; }
  void Keep(const std::string& name) { m_files.push_back(name); }

 private:
  std::string m_path;
  std::vector<std::string> m_files;
};

// The image's database files, regular ones only, copied into scratch.
void CopyDatabase(const TFileTree& files, const std::string& folder, TScratchFolder& scratch) {
  for (const TFileTree::TEntry& entry : files.List(folder)) {
    if (entry.kind != TFileTree::EKind::File && entry.kind != TFileTree::EKind::Link) continue;
    scratch.Keep(entry.name);
    files.CopyTo(folder + "/" + entry.name, scratch.Path() + "/" + entry.name, kRpmFileLimit);
  }
}

TInstanceList RpmInstalled(const TFileTree& files, const std::string& folder,
                           const TDeadline& deadline) {
  std::optional<TScratchFolder> scratch;
  std::string database = folder;
  if (files.Rooted()) {
    scratch.emplace();
    CopyDatabase(files, folder, *scratch);
    database = scratch->Path();
  }
  const std::string listing = RunProgram(
      "rpm", {"--dbpath", database, "-qa", "--queryformat", "%{NVRA}\\n"}, deadline.For(kRpmLimit));
  TInstanceList products;
  std::size_t begin = 0;
  while (begin < listing.size()) {
    const std::size_t end = std::min(listing.find('\n', begin), listing.size());
    if (end != begin) products.Add(Product(listing.substr(begin, end - begin)));
    begin = end + 1;
  }
  return products;
}

}  // namespace

std::vector<std::string> DpkgInstalled(const std::string& status,
                                       const std::vector<std::string>& journal) {
  std::map<std::pair<std::string, std::string>, TDpkgRecord> records;
  const auto keep = [&records](TDpkgRecord record) {
    const auto key = std::make_pair(record.package, record.architecture);
    records[key] = std::move(record);
  };
  EachStanza(status, keep);
  for (const std::string& update : journal) EachStanza(update, keep);
  std::string native;
  for (const auto& record : records) {
    if (record.first.first == "dpkg" && IsInstalled(record.second.status))
      native = record.second.architecture;
  }
  std::vector<std::string> names;
  for (const auto& entry : records) {
    const TDpkgRecord& record = entry.second;
    if (!IsInstalled(record.status)) continue;
    const std::string name = BinaryPackage(record, native);
    names.push_back(record.version.empty() ? name : name + " " + record.version);
  }
  return names;
}

TClassResult ReadInstalledPackages(const TFileTree& files, const TDeadline& deadline) {
  const bool dpkg = files.Exists(kDpkgStatus);
  const std::optional<std::string> rpmFolder = dpkg ? std::nullopt : RpmFolder(files);
  const std::string source = dpkg ? kDpkgStatus : kRpmSource;
  if (!dpkg && !rpmFolder) return UnreadableClass(kClass, kNoDatabaseSource, kNoDatabase);
  try {
    if (!dpkg) return ReadClass(kClass, source, RpmInstalled(files, *rpmFolder, deadline));
    TInstanceList products;
    for (std::string& name : DpkgInstalled(files.Read(kDpkgStatus), DpkgJournal(files)))
      products.Add(Product(std::move(name)));
    return ReadClass(kClass, source, std::move(products));
  } catch (const TSourceError& error) {
    return UnreadableClass(kClass, source, error.what());
  }
}

}  // namespace NZARNCOLLECT
