#include "plugin/TvxAnalPluginCallbacks.h"

#include "checks/disk/DiskDrive.h"

namespace NTVXANAL {
namespace {

const char kDeviceSerialNum[] = "DeviceSerialNum";

}  // namespace

// Reads the serial number of every hard disk. Nothing is concluded from it
// and nothing is written: the reads are the whole of this step.
void TTvxAnalPluginCallbacks::ReadDiskSerialNumbers(TNamespacePtr cimNamespace) {
  const TInstanceList disks = QueryInstances(cimNamespace, kDiskDriveClass, MakeQueryContext());
  for (const TInstancePtr& disk : disks)
    if (IsHardDisk(disk)) ReadProperty(disk, kDeviceSerialNum);
}

}  // namespace NTVXANAL
