#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "checks/adapter/ScsiController.h"
#include "checks/disk/DiskDrive.h"
#include "cim/Text.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kPartOfCluster[] = "PartOfCluster";
const char kClustered[] = "Yes";

const char kDeviceDataClass[] = "QELSG_txSCSIDeviceData";
const char kChannel[] = "Channel";
const char kScsiId[] = "ScsiId";
const char kNumParityErrors[] = "NumParityErrors";
const char kNumSoftErrors[] = "NumSoftErrors";
const char kNumHardErrors[] = "NumHardErrors";
const char kPfa[] = "PFA";
const char kMisc[] = "Misc";
const char kPfaReported[] = "Yes";

const char kLineController[] = "Controller ";
const char kLineChannel[] = " Channel ";
const char kLineScsiId[] = " Scsi ID ";
const char kLinePfa[] = " reported a PFA error";
const char kLineReported[] = " reported ";
const char kLineParity[] = " parity errors";
const char kLineSoft[] = " soft errors";
const char kLineHard[] = " hard errors";
const char kLineMisc[] = " misc errors";
// On shared storage the other node's traffic makes these counters grow.
const char kSharedSoftNote[] =
    ":  This adapter is currently part of a shared storage configuration.  These events are "
    "normal.";
const char kSharedMiscNote[] =
    ":  This adapter is currently part of a shared storage configuration. These events are "
    "normal.";
const char kAllocationFailed[] = "Unabled to allocate space for devErrors";

// Where a device sits: controller, channel and SCSI ID.
struct TDeviceAddress {
  std::int32_t controller;
  std::int32_t channel;
  std::int32_t scsiId;
  bool operator==(const TDeviceAddress& other) const {
    return controller == other.controller && channel == other.channel && scsiId == other.scsiId;
  }
};

// The values of one device, in the order they are read.
struct TDevErrors {
  TDeviceAddress address;
  std::int32_t parityErrors;
  std::int32_t softErrors;
  std::int32_t hardErrors;
  // Up to three characters and the terminator.
  char pfa[4];
  std::int32_t miscErrors;
};

// Reads a number property; false when its value is null.
bool ReadNumber(const TInstancePtr& instance, const char* name, std::int32_t& number) {
  const NQELZARN20::TCIMValue value = ReadProperty(instance, name);
  if (value.IsNull()) return false;
  number = ReadInteger(value.ToString(10));
  return true;
}

// A text longer than the field is not kept at all: cut short it could read
// as "Yes" ("Yes!" would), kept whole it would run past the field.
bool ReadPfa(const TInstancePtr& instance, char (&pfa)[4]) {
  const NQELZARN20::TCIMValue value = ReadProperty(instance, kPfa);
  if (value.IsNull()) return false;
  const std::string text = value.ToString(10);
  pfa[0] = '\0';
  if (text.size() < sizeof pfa) std::memcpy(pfa, text.c_str(), text.size() + 1);
  return true;
}

// Fills the record in field order; false at the first null value.
bool ReadDevErrors(const TInstancePtr& device, TDevErrors& record) {
  return ReadNumber(device, kControllerNum, record.address.controller) &&
         ReadNumber(device, kChannel, record.address.channel) &&
         ReadNumber(device, kScsiId, record.address.scsiId) &&
         ReadNumber(device, kNumParityErrors, record.parityErrors) &&
         ReadNumber(device, kNumSoftErrors, record.softErrors) &&
         ReadNumber(device, kNumHardErrors, record.hardErrors) && ReadPfa(device, record.pfa) &&
         ReadNumber(device, kMisc, record.miscErrors);
}

// Controller numbers of the controllers that are part of a cluster, in
// enumeration order.
std::vector<std::int32_t> ClusteredControllers(const TInstanceList& controllers) {
  std::vector<std::int32_t> clustered;
  for (const TInstancePtr& controller : controllers) {
    const NQELZARN20::TCIMValue cluster = ReadProperty(controller, kPartOfCluster);
    if (cluster.IsNull() || cluster.ToString(10).find(kClustered) == std::string::npos) continue;
    std::int32_t number = 0;
    if (ReadNumber(controller, kControllerNum, number)) clustered.push_back(number);
  }
  return clustered;
}

// Addresses of the disks behind the clustered controllers, the last
// controller's first.
std::vector<TDeviceAddress> SharedDevices(std::vector<std::int32_t> clustered,
                                          const TInstanceList& disks) {
  std::vector<TDeviceAddress> shared;
  for (; !clustered.empty(); clustered.pop_back()) {
    TDeviceAddress address{clustered.back(), 0, 0};
    for (const TInstancePtr& disk : disks) {
      std::int32_t controller = 0;
      if (!ReadNumber(disk, kControllerNum, controller) || controller != address.controller)
        continue;
      if (ReadNumber(disk, kChannel, address.channel) && ReadNumber(disk, kScsiId, address.scsiId))
        shared.push_back(address);
    }
  }
  return shared;
}

std::string DeviceLine(const std::string& prefix, const TDeviceAddress& address) {
  return prefix + kLineController + std::to_string(address.controller) + kLineChannel +
         std::to_string(address.channel) + kLineScsiId + std::to_string(address.scsiId);
}

std::string CountLine(const std::string& prefix, const TDeviceAddress& address, std::int32_t count,
                      const char* what) {
  return DeviceLine(prefix, address) + kLineReported + std::to_string(count) + what;
}

// The PFA line, then one line per counter above zero.
void ReportDevice(const std::string& prefix, const TDevErrors& record, bool shared) {
  const TDeviceAddress& address = record.address;
  if (std::strcmp(record.pfa, kPfaReported) == 0)
    ReportFinding(kLevelFinding, DeviceLine(prefix, address) + kLinePfa);
  if (record.parityErrors > 0)
    ReportFinding(kLevelFinding, CountLine(prefix, address, record.parityErrors, kLineParity));
  if (record.softErrors > 0)
    ReportFinding(kLevelFinding, CountLine(prefix, address, record.softErrors, kLineSoft) +
                                     (shared ? kSharedSoftNote : ""));
  if (record.hardErrors > 0)
    ReportFinding(kLevelFinding, CountLine(prefix, address, record.hardErrors, kLineHard));
  if (record.miscErrors > 0)
    ReportFinding(kLevelFinding, CountLine(prefix, address, record.miscErrors, kLineMisc) +
                                     (shared ? kSharedMiscNote : ""));
}

}  // namespace

// Reports the error counters and PFA flags of every SCSI device; devices on
// shared storage get a note on the counters that such a set-up drives up.
void TTvxAnalPluginCallbacks::CheckScsiDeviceErrors(TNamespacePtr cimNamespace) {
  const NQELZARN20::TCIMContext queryContext = MakeQueryContext();
  const TInstanceList controllers = QueryInstances(cimNamespace, kControllerClass, queryContext);
  const TInstanceList disks = QueryInstances(cimNamespace, kDiskDriveClass, queryContext);
  const std::vector<TDeviceAddress> shared =
      SharedDevices(ClusteredControllers(controllers), disks);

  const TInstanceList devices = QueryInstances(cimNamespace, kDeviceDataClass, queryContext);
  for (const TInstancePtr& device : devices) {
    // Without its record a device cannot be judged; the next one may still be.
    const std::unique_ptr<TDevErrors> record(new (std::nothrow) TDevErrors());
    if (!record) {
      ReportFinding(kLevelDiagnostic, kAllocationFailed);
      continue;
    }
    if (!ReadDevErrors(device, *record)) continue;
    const bool isShared = std::find(shared.begin(), shared.end(), record->address) != shared.end();
    ReportDevice(MessagePrefix, *record, isShared);
  }
}

}  // namespace NTVXANAL
