#include <chrono>
#include <set>
#include <sstream>

#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/TimedProgram.h"
#include "collectors/linux/LinuxSources.h"

namespace NZARNCOLLECT {

namespace {

const char kClass[] = "QELSG_SystemServiceInfo";
const char kSource[] = "the systemd unit folders";
const char kSourceWithStates[] = "the systemd unit folders, and systemctl for the states";
const char kNoFolder[] = "no systemd unit folder exists";
const char kNoStates[] = "the states could not be read: ";
const std::string kSuffix = ".service";

// systemd's folders of system units, generated ones among them (a service
// with only an init script has its unit generated).
const char* const kUnitFolders[] = {
    "/etc/systemd/system",     "/run/systemd/transient", "/run/systemd/generator.early",
    "/run/systemd/system",     "/run/systemd/generator", "/usr/local/lib/systemd/system",
    "/usr/lib/systemd/system", "/lib/systemd/system",    "/run/systemd/generator.late"};

// Present when systemd runs the machine.
const char kSystemdRuns[] = "/run/systemd/system";

constexpr std::chrono::seconds kSystemctlLimit{10};

// The service a unit named NAME.service stands for; none for other units.
boost::optional<std::string> ServiceName(const std::string& unit) {
  if (unit.size() <= kSuffix.size() ||
      unit.compare(unit.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return boost::none;
  }
  return unit.substr(0, unit.size() - kSuffix.size());
}

// A folder that does not exist holds no units; one that cannot be listed
// might hold any.
std::set<std::string> UnitNames(const TFileTree& files) {
  std::set<std::string> names;
  bool anyFolder = false;
  for (const char* folder : kUnitFolders) {
    if (!files.Exists(folder)) continue;
    anyFolder = true;
    for (const TFileTree::TEntry& entry : files.List(folder)) {
      const boost::optional<std::string> name = ServiceName(entry.name);
      const bool unitFile =
          entry.kind == TFileTree::EKind::File || entry.kind == TFileTree::EKind::Link;
      if (name && unitFile) names.insert(*name);
    }
  }
  if (!anyFolder) throw TSourceError(kNoFolder);
  return names;
}

std::map<std::string, std::string> SystemdStates() {
  return ParseUnitStates(
      RunProgram("systemctl",
                 {"list-units", "--type=service", "--all", "--plain", "--no-legend", "--no-pager"},
                 kSystemctlLimit));
}

boost::json::array Services(const std::set<std::string>& names,
                            const std::map<std::string, std::string>& states) {
  boost::json::array services;
  for (const std::string& name : names) {
    boost::json::object service{{"Name", name}};
    const auto state = states.find(name);
    if (state != states.end()) service["State"] = state->second;
    services.push_back(std::move(service));
  }
  return services;
}

}  // namespace

// The states come from the running systemd, so they describe this machine
// only: never under a root.
TClassResult ReadServiceUnits(const TFileTree& files) {
  std::set<std::string> names;
  try {
    names = UnitNames(files);
  } catch (const TSourceError& error) {
    return UnreadableClass(kClass, kSource, error.what());
  }
  if (files.Rooted() || !files.IsFolder(kSystemdRuns)) {
    return ReadClass(kClass, kSource, Services(names, {}));
  }
  try {
    return ReadClass(kClass, kSourceWithStates, Services(names, SystemdStates()));
  } catch (const TSourceError& error) {
    return ReadClass(kClass, kSourceWithStates, Services(names, {}),
                     kNoStates + std::string(error.what()));
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
    if (!(words >> unit >> load >> active >> sub)) continue;
    const boost::optional<std::string> name = ServiceName(unit);
    if (name) states[*name] = active + " (" + sub + ")";
  }
  return states;
}

}  // namespace NZARNCOLLECT
