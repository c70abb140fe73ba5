#include <boost/optional.hpp>

#include "checks/management/AdapterPciIdentities.h"
#include "checks/management/GuardedLookups.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {

const std::array<TPciIdentity, 3> AdapterPciIdentities = {{
    {0x9005, 0x0285},
    {0x9005, 0x0286},
    {0x9005, 0x041E},
}};

namespace {

// An identity property of a PCI device and the lines that say what is wrong
// with it.
struct TIdentityProperty {
  const char* name;
  const char* missingLine;
  const char* wrongTypeLine;
};

// The vendor's "didn't find" line names the class with G and S swapped; the
// line is kept as users and their filters know it.
const TIdentityProperty kVendorId = {
    "VendorID", "tvx analysis: didn't find VendorID property in QELGS_PCIDevice",
    "tvx analysis: VendorID wasn't a uint16 in QELSG_PCIDevice"};
const TIdentityProperty kPciDeviceId = {
    "PciDeviceID", "tvx analysis: didn't find PciDeviceID property in QELSG_PCIDevice",
    "tvx analysis: PciDeviceID wasn't a uint16 in QELSG_PCIDevice"};

// The number the device holds, or nothing when the property is missing, null
// or not a uint16.
boost::optional<std::uint16_t> ReadIdentity(const TInstancePtr& device,
                                            const TIdentityProperty& identity) {
  const boost::optional<NQELZARN20::TCIMValue> value =
      ReadPropertyUnlessMissing(device, identity.name, identity.missingLine);
  if (!value || value->IsNull()) return boost::none;
  if (value->GetType() != NQELZARN20::eCIMTypeUInt16) {
    ReportFinding(kLevelError, identity.wrongTypeLine);
    return boost::none;
  }
  return static_cast<std::uint16_t>(*value);
}

}  // namespace

// Whether the PCI device carries exactly this identity. The device ID is read
// only once the vendor matches.
bool TTvxAnalPluginCallbacks::IsAdapterPresent(TInstancePtr device, std::uint16_t vendorId,
                                               std::uint16_t deviceId) {
  const boost::optional<std::uint16_t> vendor = ReadIdentity(device, kVendorId);
  if (!vendor || *vendor != vendorId) return false;
  const boost::optional<std::uint16_t> pciDevice = ReadIdentity(device, kPciDeviceId);
  return pciDevice && *pciDevice == deviceId;
}

}  // namespace NTVXANAL
