#include <chrono>
#include <sstream>

#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/TimedProgram.h"
#include "collectors/linux/LinuxSources.h"

namespace NZARNCOLLECT {

namespace {

const char kClass[] = "QELSG_InstalledRPM";
const char kDpkgStatus[] = "/var/lib/dpkg/status";
const char kRpmSource[] = "rpm -qa";
const char kNoDatabaseSource[] = "the package manager";
const char kNoDatabase[] =
    "no package database: neither /var/lib/dpkg/status nor an rpm database was found";
const char kLinkInDatabase[] =
    "the rpm database holds a symbolic link, which could lead rpm out of the root";

// Where rpm keeps its database, newer systems first, and the files that
// make a folder one, whichever of its formats it is in. rpm run on a folder
// without them would create a database there.
const char* const kRpmFolders[] = {"/usr/lib/sysimage/rpm", "/var/lib/rpm"};
const char* const kRpmDatabases[] = {"rpmdb.sqlite", "Packages.db", "Packages"};

constexpr std::chrono::seconds kRpmLimit{20};

boost::json::array Products(const std::vector<std::string>& names) {
  boost::json::array products;
  for (const std::string& name : names)
    products.push_back(boost::json::object{{"ProductName", name}});
  return products;
}

std::string Trimmed(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t\r") + 1 - begin);
}

// dpkg's status field is "want flag state"; these states have the package
// unpacked and configured, with at most its triggers still to run.
bool IsInstalled(const std::string& status) {
  const std::string state = status.substr(status.rfind(' ') + 1);
  return state == "installed" || state == "triggers-pending" || state == "triggers-awaited";
}

// One stanza a package, stanzas apart by blank lines; a line that starts
// with a blank continues the field before it.
std::vector<std::string> DpkgInstalled(const std::string& status) {
  std::vector<std::string> names;
  std::string package, version, state;
  const auto finish = [&] {
    if (!package.empty() && IsInstalled(state)) {
      names.push_back(version.empty() ? package : package + " " + version);
    }
    package.clear();
    version.clear();
    state.clear();
  };
  std::istringstream lines(status);
  for (std::string line; std::getline(lines, line);) {
    if (Trimmed(line).empty()) {
      finish();
      continue;
    }
    const std::size_t colon = line.find(':');
    if (line[0] == ' ' || line[0] == '\t' || colon == std::string::npos) continue;
    const std::string field = line.substr(0, colon);
    const std::string value = Trimmed(line.substr(colon + 1));
    if (field == "Package") package = value;
    if (field == "Version") version = value;
    if (field == "Status") state = value;
  }
  finish();
  return names;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

boost::optional<std::string> RpmFolder(const TFileTree& files) {
  for (const char* folder : kRpmFolders) {
    for (const char* database : kRpmDatabases) {
      if (files.Exists(std::string(folder) + "/" + database)) return std::string(folder);
    }
  }
  return boost::none;
}

// rpm opens its database files by name; under a root each must be what it
// seems, not a link out of it.
void CheckNoLinks(const TFileTree& files, const std::string& folder) {
  for (const TFileTree::TEntry& entry : files.List(folder)) {
    if (entry.kind == TFileTree::EKind::Link) throw TSourceError(kLinkInDatabase);
  }
}

std::vector<std::string> RpmInstalled(TFileTree& files, const std::string& folder) {
  if (files.Rooted()) CheckNoLinks(files, folder);
  return Lines(RunProgram(
      "rpm", {"--dbpath", files.ProgramPath(folder), "-qa", "--queryformat", "%{NVRA}\\n"},
      kRpmLimit));
}

}  // namespace

TClassResult ReadInstalledPackages(TFileTree& files) {
  const bool dpkg = files.Exists(kDpkgStatus);
  const boost::optional<std::string> rpmFolder = dpkg ? boost::none : RpmFolder(files);
  const std::string source = dpkg ? kDpkgStatus : kRpmSource;
  if (!dpkg && !rpmFolder) return UnreadableClass(kClass, kNoDatabaseSource, kNoDatabase);
  try {
    return ReadClass(
        kClass, source,
        Products(dpkg ? DpkgInstalled(files.Read(kDpkgStatus)) : RpmInstalled(files, *rpmFolder)));
  } catch (const TSourceError& error) {
    return UnreadableClass(kClass, source, error.what());
  }
}

}  // namespace NZARNCOLLECT
