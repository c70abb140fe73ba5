#include <windows.h>

#include "collectors/Collector.h"
#include "collectors/windows/WindowsSources.h"
#include "collectors/windows/Wmi.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

const char kNoRoot[] =
    "--root: a Windows machine is collected live, through its own interfaces; "
    "collect a machine image on Linux";
using NZARNCORE::NSchema::TInstalledApplication;
using NZARNCORE::NSchema::TInstalledRpm;

const char kLinuxSoftwareSource[] = "the package manager";
const char kLinuxSoftwareReason[] = "a Windows system lists its software in ";

// A DNS name is at most 255 characters long.
std::string HostName() {
  wchar_t name[256] = {};
  DWORD size = sizeof name / sizeof name[0];
  return GetComputerNameExW(ComputerNameDnsHostname, name, &size) ? Utf8(name) : "";
}

}  // namespace

TCollectedInventory CollectMachine(const TCollectSettings& settings) {
  if (settings.root) throw TCollectError(kNoRoot);
  const TDeadline deadline(settings.deadline);
  const TComSession com;
  const TWmiConnection wmi(com, deadline);
  TCollectedInventory inventory;
  inventory.operatingSystemType = ReadOperatingSystemType(wmi);
  inventory.host = HostName();
  inventory.classes.push_back(ReadPciDevices(wmi));
  inventory.classes.push_back(ReadInstalledPrograms(deadline));
  inventory.classes.push_back(ReadServices(wmi));
  inventory.classes.push_back(
      AbsentClass(TInstalledRpm::kClass, kLinuxSoftwareSource,
                  kLinuxSoftwareReason + std::string(TInstalledApplication::kClass)));
  inventory.classes.push_back(ReadSystemEventLog(settings.maxEvents, settings.maxEventDays,
                                                 settings.eventBookmark, deadline));
  AddAdapterClasses(inventory);
  return inventory;
}

}  // namespace NZARNCOLLECT
