#include <unistd.h>

#include <climits>

#include "collectors/Collector.h"
#include "collectors/SourceError.h"
#include "collectors/linux/LinuxSources.h"

namespace NZARNCOLLECT {

namespace {

// The host's operating-system type for Linux.
constexpr std::uint16_t kLinux = 36;

const char kWindowsSoftware[] = "QELSG_InstalledApplication";
const char kWindowsSoftwareSource[] = "the Windows list of installed software";
const char kWindowsSoftwareReason[] = "a Linux system lists its software in QELSG_InstalledRPM";
const char kEventLog[] = "QELSG_WindowsSystemEventLogRecord";
const char kEventLogSource[] = "the Windows System event log";
const char kEventLogReason[] = "a Linux system has no Windows event log";
const char kAdapterSource[] = "the adapter's management software";
const char kAdapterReason[] = "only the adapter's management software reports it";

// The adapter's own records, which no file of the system holds.
const char* const kAdapterClasses[] = {
    "QELSG_txSCSIProtocolController", "QELSG_txBiosVersion",    "QELSG_txDiskDrive",
    "QELSG_txDiskDriveVersion",       "QELSG_txSCSIDeviceData", "QELSG_BadStripeData"};

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

TCollectedInventory CollectMachine(const boost::optional<std::string>& root) {
  TFileTree files(root);
  TCollectedInventory inventory;
  inventory.operatingSystemType = kLinux;
  inventory.host = HostName(files);
  inventory.classes.push_back(ReadPciDevices(files));
  inventory.classes.push_back(ReadInstalledPackages(files));
  inventory.classes.push_back(ReadServiceUnits(files));
  inventory.classes.push_back(
      AbsentClass(kWindowsSoftware, kWindowsSoftwareSource, kWindowsSoftwareReason));
  inventory.classes.push_back(AbsentClass(kEventLog, kEventLogSource, kEventLogReason));
  for (const char* name : kAdapterClasses) {
    inventory.classes.push_back(UnreadableClass(name, kAdapterSource, kAdapterReason));
  }
  return inventory;
}

}  // namespace NZARNCOLLECT
