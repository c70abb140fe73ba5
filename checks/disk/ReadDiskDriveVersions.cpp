#include "plugin/TvxAnalPluginCallbacks.h"

#include "checks/disk/DiskDrive.h"
#include "cim/Association.h"

namespace NTVXANAL {
namespace {

// Reached only through a disk's associations, never looked up by name.
const char kDiskDriveVersionClass[] = "QELSG_txDiskDriveVersion";
const char kVersion[] = "Version";

}  // namespace

// Reads, for every hard disk, the version of its first version record and
// its device code. Nothing is written; a null version or code ends the walk.
void TTvxAnalPluginCallbacks::ReadDiskDriveVersions(TNamespacePtr cimNamespace) {
  const TInstanceList disks = QueryInstances(cimNamespace, kDiskDriveClass, MakeQueryContext());
  for (const TInstancePtr& disk : disks) {
    if (!IsHardDisk(disk)) continue;
    const TInstanceList versions = EnumerateAssociatedInstances(disk, kDiskDriveVersionClass);
    // A disk without a version record has nothing to read; the next may.
    if (versions.empty()) continue;
    if (ReadProperty(versions.front(), kVersion).IsNull()) return;
    if (ReadProperty(disk, kDeviceCode).IsNull()) return;
  }
}

}  // namespace NTVXANAL
