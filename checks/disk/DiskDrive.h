#pragma once

#include "cim/Query.h"

namespace NTVXANAL {

// The disks the host inventoried behind the adapters.
const char kDiskDriveClass[] = "QELSG_txDiskDrive";
const char kDeviceCode[] = "DeviceCode";

// Whether the disk's type text is exactly "Hard disk". The disk checks look
// at hard disks only; a disk whose type is null is not one.
bool IsHardDisk(const TInstancePtr& disk);

}  // namespace NTVXANAL
