#include "checks/disk/DiskDrive.h"

namespace NTVXANAL {
namespace {

const char kDeviceType[] = "DeviceType";
const char kHardDisk[] = "Hard disk";

}  // namespace

bool IsHardDisk(const TInstancePtr& disk) {
  const NQELZARN20::TCIMValue type = ReadProperty(disk, kDeviceType);
  return !type.IsNull() && type.ToString(10) == kHardDisk;
}

}  // namespace NTVXANAL
