#include "plugin/TvxAnalPluginCallbacks.h"

#include "checks/disk/DiskDrive.h"
#include "cim/Text.h"

namespace NTVXANAL {
namespace {

// Tags of the disk vendors the adapters support, searched in this order in
// the lower-cased device code.
const char* const kVendorTags[] = {"qel-rnd", "qel-mbno", "qel-vtra"};

const char kLineStart[] = "Disk with device code \"";
const char kLineEnd[] = "\" may not be supported.";

bool CarriesVendorTag(const std::string& code) {
  for (const char* tag : kVendorTags)
    if (code.find(tag) != std::string::npos) return true;
  return false;
}

}  // namespace

// Reports every hard disk whose device code carries none of the supported
// vendor tags, naming the code as it was searched: lower-cased.
void TTvxAnalPluginCallbacks::CheckDiskVendors(TNamespacePtr cimNamespace) {
  const TInstanceList disks = QueryInstances(cimNamespace, kDiskDriveClass, MakeQueryContext());
  for (const TInstancePtr& disk : disks) {
    if (!IsHardDisk(disk)) continue;
    const NQELZARN20::TCIMValue code = ReadProperty(disk, kDeviceCode);
    if (code.IsNull()) continue;

    const std::string lowered = LowerCase(code.ToString(10));
    if (CarriesVendorTag(lowered)) continue;
    ReportFinding(kLevelFinding, MessagePrefix + kLineStart + lowered + kLineEnd);
  }
}

}  // namespace NTVXANAL
