#include <chrono>
#include <map>
#include <set>
#include <sstream>

#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/TimedProgram.h"
#include "collectors/linux/LinuxSources.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

using NZARNCORE::NSchema::TSystemService;

const char* const kClass = TSystemService::kClass;
const char kSource[] = "the systemd unit folders";
const char kSourceWithStates[] = "the systemd unit folders, and systemctl for the states";
const char kNoFolder[] = "no systemd unit folder exists";
const char kNoStates[] = "the states could not be read: ";
const std::string kSuffix = ".service";

// systemd's folders of system units, in the order it looks a name up: the
// first folder that holds a name decides what the unit is.
const char* const kUnitFolders[] = {
    "/etc/systemd/system.control",   "/run/systemd/system.control",  "/run/systemd/transient",
    "/run/systemd/generator.early",  "/etc/systemd/system",          "/etc/systemd/system.attached",
    "/run/systemd/system",           "/run/systemd/system.attached", "/run/systemd/generator",
    "/usr/local/lib/systemd/system", "/lib/systemd/system",          "/usr/lib/systemd/system",
    "/run/systemd/generator.late"};

// Where enabling a unit makes links to it; the ones under /run last until
// the machine restarts.
const char* const kConfigFolders[] = {"/etc/systemd/system.control", "/etc/systemd/system",
                                      "/run/systemd/system.control", "/run/systemd/system"};

const char kNull[] = "/dev/null";
constexpr int kMaxLinks = 32;  // a longer chain is a loop
constexpr std::size_t kUnitFileLimit = std::size_t{1} << 20;

// Present when systemd runs the machine.
const char kSystemdRuns[] = "/run/systemd/system";

constexpr std::chrono::seconds kSystemctlLimit{10};

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsRuntime(const std::string& path) { return StartsWith(path, "/run/"); }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// An absolute path without "." and ".." (which stays at "/" at the top),
// as a link's target is looked up.
std::string Normal(const std::string& path) {
  std::vector<std::string> parts;
  std::istringstream names(path);
  for (std::string name; std::getline(names, name, '/');) {
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(name);
    }
  }
  std::string normal;
  for (const std::string& part : parts) normal += "/" + part;
  return normal.empty() ? "/" : normal;
}

bool InUnitFolder(const std::string& path) {
  const std::string folder = FolderOf(path);
  for (const char* unitFolder : kUnitFolders) {
    if (folder == unitFolder) return true;
  }
  return false;
}

// The template an instance's unit comes from: getty@tty1.service is
// getty@.service; other names stand for themselves.
std::string TemplateOf(const std::string& unit) {
  const std::size_t at = unit.find('@');
  if (at == std::string::npos) return unit;
  return unit.substr(0, at + 1) + kSuffix;
}

// What a name in a unit folder leads to, its links followed inside the
// machine.
struct TUnitFile {
  enum EKind { Unit, Masked, Broken, Alias, None } kind = None;
  std::string path;     // of the file the links lead to
  bool linked = false;  // reached through a link from outside the unit folders
};

TUnitFile Resolve(const TFileTree& files, const std::string& path) {
  TUnitFile unit;
  std::string at = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    const std::optional<std::string> target = files.LinkTarget(at);
    if (!target) break;
    if (Normal(*target) == kNull) return TUnitFile{TUnitFile::Masked, at, false};
    at = Normal(StartsWith(*target, "/") ? *target : FolderOf(at) + "/" + *target);
    if (links == kMaxLinks) return TUnitFile{TUnitFile::Broken, at, false};
  }
  const std::optional<TFileTree::TFound> found = files.Find(at);
  if (!found) return TUnitFile{TUnitFile::Broken, at, false};
  if (found->kind == TFileTree::EKind::Other && found->isNull)
    return TUnitFile{TUnitFile::Masked, at, false};
  if (found->kind != TFileTree::EKind::File) return unit;
  if (found->size == 0) return TUnitFile{TUnitFile::Masked, at, false};
  const std::string name = NameOf(path);
  if (NameOf(at) != name && TemplateOf(name) != NameOf(at))
    return TUnitFile{TUnitFile::Alias, at, false};
  return TUnitFile{TUnitFile::Unit, at, at != path && !InUnitFolder(at)};
}

// The names of units that links in the enabling folders stand for: in a
// target's .wants, .requires or .upholds folder, and aliases at the top, by
// their own name.
struct TEnablingLinks {
  std::map<std::string, bool> wanted;          // unit to whether only under /run
  std::set<std::string> instancesWanted;       // templates with an instance wanted
  std::map<std::string, std::string> aliased;  // unit to one of its aliases
};

bool IsDependencyFolder(const std::string& name) {
  return EndsWith(name, ".wants") || EndsWith(name, ".requires") || EndsWith(name, ".upholds");
}

void AddWanted(TEnablingLinks& links, const std::string& unit, bool runtime) {
  const auto added = links.wanted.emplace(unit, runtime);
  if (!added.second && !runtime) added.first->second = false;
  if (TemplateOf(unit) != unit) links.instancesWanted.insert(TemplateOf(unit));
}

TEnablingLinks EnablingLinks(const TFileTree& files) {
  TEnablingLinks links;
  for (const char* folder : kConfigFolders) {
    if (!files.IsFolder(folder)) continue;
    for (const TFileTree::TEntry& entry : files.List(folder)) {
      const std::string path = std::string(folder) + "/" + entry.name;
      if (entry.kind == TFileTree::EKind::Folder && IsDependencyFolder(entry.name)) {
        for (const TFileTree::TEntry& wanted : files.List(path))
          if (IsServiceUnitName(wanted.name)) AddWanted(links, wanted.name, IsRuntime(folder));
      } else if (entry.kind == TFileTree::EKind::Link && IsServiceUnitName(entry.name)) {
        const TUnitFile unit = Resolve(files, path);
        if (unit.kind == TUnitFile::Alias) links.aliased.emplace(NameOf(unit.path), entry.name);
      }
    }
  }
  return links;
}

// systemctl list-unit-files' state of a unit that is no alias and not
// masked. A template is enabled by its default instance; another instance
// of it makes it indirect.
std::string UnitFileState(const TFileTree& files, const std::string& name, const TUnitFile& unit,
                          const std::string& folder, const TEnablingLinks& links) {
  if (StartsWith(folder, "/run/systemd/generator")) return "generated";
  if (folder == "/run/systemd/transient") return "transient";
  if (unit.linked) return IsRuntime(folder) ? "linked-runtime" : "linked";
  const TInstallRules rules = ParseInstallRules(files.Read(unit.path, kUnitFileLimit));
  const std::string enabledAs = rules.defaultInstance.empty() ? name
                                                              : name.substr(0, name.find('@') + 1) +
                                                                    rules.defaultInstance + kSuffix;
  const auto wanted = links.wanted.find(enabledAs);
  if (wanted != links.wanted.end()) return wanted->second ? "enabled-runtime" : "enabled";
  if (links.instancesWanted.count(name) != 0) return "indirect";
  const auto aliased = links.aliased.find(name);
  if (aliased != links.aliased.end())
    return rules.aliases.count(aliased->second) != 0 ? "enabled" : "indirect";
  if (rules.enables) return "disabled";
  return rules.also ? "indirect" : "static";
}

// What was left out, and why, for the class's record.
struct TLeftOut {
  std::size_t masked = 0;
  std::size_t aliases = 0;
  std::size_t broken = 0;
  std::size_t noState = 0;
  std::string firstNoState;

  std::string Note() const {
    std::string note;
    const auto add = [&note](std::size_t count, const char* what) {
      if (count != 0) note += (note.empty() ? "" : ", ") + std::to_string(count) + " " + what;
    };
    add(masked, "masked");
    add(aliases, aliases == 1 ? "alias of another unit" : "aliases of other units");
    add(broken, broken == 1 ? "link that leads nowhere" : "links that lead nowhere");
    if (!note.empty()) note = "left out: " + note;
    if (noState != 0) {
      note += std::string(note.empty() ? "" : "; ") + "the unit-file state of " +
              std::to_string(noState) + " could not be read: " + firstNoState;
    }
    return note;
  }
};

struct TService {
  std::string name;  // without .service
  std::optional<std::string> unitFileState;
};

struct TServices {
  std::vector<TService> services;
  TLeftOut leftOut;
};

// The first folder that holds a name decides what the unit is; a folder
// that does not exist holds no units, one that cannot be listed might hold
// any.
TServices ServiceUnits(const TFileTree& files) {
  TServices found;
  std::set<std::string> seen;
  bool anyFolder = false;
  const TEnablingLinks links = EnablingLinks(files);
  for (const char* folder : kUnitFolders) {
    if (!files.Exists(folder)) continue;
    anyFolder = true;
    for (const TFileTree::TEntry& entry : files.List(folder)) {
      if (!IsServiceUnitName(entry.name) || seen.count(entry.name) != 0) continue;
      const TUnitFile unit = Resolve(files, std::string(folder) + "/" + entry.name);
      if (unit.kind == TUnitFile::None) continue;
      seen.insert(entry.name);
      TLeftOut& out = found.leftOut;
      if (unit.kind == TUnitFile::Masked) ++out.masked;
      if (unit.kind == TUnitFile::Alias) ++out.aliases;
      if (unit.kind == TUnitFile::Broken) ++out.broken;
      if (unit.kind != TUnitFile::Unit) continue;
      TService service{entry.name.substr(0, entry.name.size() - kSuffix.size()), std::nullopt};
      try {
        service.unitFileState = UnitFileState(files, entry.name, unit, folder, links);
      } catch (const TSourceError& error) {
        if (out.noState++ == 0) out.firstNoState = error.what();
      }
      found.services.push_back(std::move(service));
    }
  }
  if (!anyFolder) throw TSourceError(kNoFolder);
  std::sort(found.services.begin(), found.services.end(),
            [](const TService& a, const TService& b) { return a.name < b.name; });
  return found;
}

std::map<std::string, std::string> SystemdStates(const TDeadline& deadline) {
  return ParseUnitStates(
      RunProgram("systemctl",
                 {"list-units", "--type=service", "--all", "--plain", "--no-legend", "--no-pager"},
                 deadline.For(kSystemctlLimit)));
}

TInstanceList Instances(const std::vector<TService>& services,
                        const std::map<std::string, std::string>& states) {
  TInstanceList instances;
  for (const TService& service : services) {
    boost::json::object instance{{TSystemService::kName, service.name}};
    if (service.unitFileState) instance[TSystemService::kUnitFileState] = *service.unitFileState;
    const auto state = states.find(service.name);
    if (state != states.end()) instance[TSystemService::kState] = state->second;
    instances.Add(instance);
  }
  return instances;
}

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
         c == '-' || c == '_' || c == '.' || c == '\\';
}

}  // namespace

// systemd's rules for a unit's name: at most 255 characters, of letters,
// digits and ":-_.\", with one "@" after a name of its own for a template
// or an instance (which may hold further "@"). Names that begin with a dot
// are hidden, such as an editor's lock file.
bool IsServiceUnitName(const std::string& name) {
  if (name.size() > 255 || name.size() <= kSuffix.size() || !EndsWith(name, kSuffix) ||
      name[0] == '.') {
    return false;
  }
  const std::string prefix = name.substr(0, name.size() - kSuffix.size());
  const std::size_t at = prefix.find('@');
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (!IsNameCharacter(prefix[i]) && !(prefix[i] == '@' && at != std::string::npos && i >= at))
      return false;
  }
  return at != 0;
}

TInstallRules ParseInstallRules(const std::string& unitText) {
  TInstallRules rules;
  std::istringstream lines(unitText);
  bool install = false;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string::npos || line[begin] == '#' || line[begin] == ';') continue;
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (line[begin] == '[') {
      install = line.substr(begin) == "[Install]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!install || equals == std::string::npos) continue;
    std::string key = line.substr(begin, equals - begin);
    key.erase(key.find_last_not_of(" \t") + 1);
    std::istringstream values(line.substr(equals + 1));
    std::vector<std::string> words;
    for (std::string word; values >> word;) words.push_back(word);
    if (words.empty()) continue;
    if (key == "WantedBy" || key == "RequiredBy" || key == "UpheldBy") rules.enables = true;
    if (key == "Also") rules.also = true;
    if (key == "DefaultInstance") rules.defaultInstance = words.front();
    if (key == "Alias") {
      rules.enables = true;
      rules.aliases.insert(words.begin(), words.end());
    }
  }
  return rules;
}

// The states come from the running systemd, so they describe this machine
// only: never under a root.
TClassResult ReadServiceUnits(const TFileTree& files, const TDeadline& deadline) {
  TServices found;
  try {
    found = ServiceUnits(files);
  } catch (const TSourceError& error) {
    return UnreadableClass(kClass, kSource, error.what());
  }
  const std::string note = found.leftOut.Note();
  if (files.Rooted() || !files.IsFolder(kSystemdRuns)) {
    return ReadClass(kClass, kSource, Instances(found.services, {}), note);
  }
  try {
    return ReadClass(kClass, kSourceWithStates, Instances(found.services, SystemdStates(deadline)),
                     note);
  } catch (const TSourceError& error) {
    return ReadClass(kClass, kSourceWithStates, Instances(found.services, {}),
                     note + (note.empty() ? "" : "; ") + kNoStates + error.what());
  }
}

// A line is "UNIT LOAD ACTIVE SUB DESCRIPTION", without the marks that
// --plain leaves out.
std::map<std::string, std::string> ParseUnitStates(const std::string& listing) {
  std::map<std::string, std::string> states;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string unit, load, active, sub;
    if (!(words >> unit >> load >> active >> sub) || !EndsWith(unit, kSuffix)) continue;
    states[unit.substr(0, unit.size() - kSuffix.size())] = active + " (" + sub + ")";
  }
  return states;
}

}  // namespace NZARNCOLLECT
