#include <unistd.h>

#include <climits>

#include "collectors/Collector.h"
#include "collectors/SourceError.h"
#include "collectors/linux/LinuxSources.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

// The host's operating-system type for Linux.
constexpr std::uint16_t kLinux = 36;

using NZARNCORE::NSchema::TEventLogRecord;
using NZARNCORE::NSchema::TInstalledApplication;
using NZARNCORE::NSchema::TInstalledRpm;

const char kWindowsSoftwareSource[] = "the Windows list of installed software";
const char kWindowsSoftwareReason[] = "a Linux system lists its software in ";
const char kEventLogSource[] = "the Windows System event log";
const char kEventLogReason[] = "a Linux system has no Windows event log";

// An image's name is in its /etc/hostname; none when it has none.
std::string HostName(const TFileTree& files) {
  if (!files.Rooted()) {
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
  }
  try {
    const std::string text = files.Read("/etc/hostname");
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_first_of(" \t\r\n", begin) - begin);
  } catch (const TSourceError&) {
    return std::string();
  }
}

}  // namespace

// The System event log's bounds have nothing to bound here.
TCollectedInventory CollectMachine(const TCollectSettings& settings) {
  TFileTree files(settings.root);
  TCollectedInventory inventory;
  inventory.operatingSystemType = kLinux;
  inventory.host = HostName(files);
  inventory.classes.push_back(ReadPciDevices(files));
  const TDeadline deadline(settings.deadline);
  inventory.classes.push_back(ReadInstalledPackages(files, deadline));
  inventory.classes.push_back(ReadServiceUnits(files, deadline));
  inventory.classes.push_back(
      AbsentClass(TInstalledApplication::kClass, kWindowsSoftwareSource,
                  kWindowsSoftwareReason + std::string(TInstalledRpm::kClass)));
  inventory.classes.push_back(
      AbsentClass(TEventLogRecord::kClass, kEventLogSource, kEventLogReason));
  AddAdapterClasses(inventory);
  return inventory;
}

}  // namespace NZARNCOLLECT
