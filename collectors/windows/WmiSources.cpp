#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/windows/HardwareId.h"
#include "collectors/windows/WindowsSources.h"
#include "collectors/windows/Wmi.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

using NZARNCORE::NSchema::TPciDevice;
using NZARNCORE::NSchema::TSystemService;

const char kPciSource[] = "WMI: Win32_PnPEntity, the devices on the PCI bus";
const char kServiceSource[] = "WMI: Win32_Service";

// WMI answers from what the system keeps in memory; an answer that takes
// longer is stuck.
constexpr std::chrono::seconds kWmiLimit{30};

boost::json::value Text(const std::optional<std::string>& text) {
  return text ? boost::json::value(*text) : boost::json::value(nullptr);
}

// A PCI device's instance ID begins with its most specific hardware ID.
boost::json::object PciDevice(IWbemClassObject& entity) {
  const std::optional<std::string> id = TextOf(entity, L"DeviceID");
  const TPciIdentity identity = ParsePciHardwareId(id.value_or("")).value_or(TPciIdentity{});
  return boost::json::object{{TPciDevice::kVendorId, Uint16(identity.vendor)},
                             {TPciDevice::kDeviceId, Uint16(identity.device)},
                             {TPciDevice::kSubVendorId, Uint16(identity.subVendor)},
                             {TPciDevice::kSubDeviceId, Uint16(identity.subDevice)},
                             {TPciDevice::kName, Text(TextOf(entity, L"Name"))},
                             {TPciDevice::kInstanceId, Text(id)}};
}

boost::json::object Service(IWbemClassObject& service) {
  return boost::json::object{{TSystemService::kName, Text(TextOf(service, L"Name"))},
                             {TSystemService::kDisplayName, Text(TextOf(service, L"DisplayName"))},
                             {TSystemService::kState, Text(TextOf(service, L"State"))}};
}

TClassResult ReadEach(const TWmiConnection& wmi, const char* cls, const char* source,
                      const std::string& wmiClass, const std::wstring& wql,
                      boost::json::object (*instance)(IWbemClassObject&)) {
  TInstanceList instances;
  try {
    wmi.Query(wmiClass, wql, kWmiLimit,
              [&](IWbemClassObject& object) { instances.Add(instance(object)); });
  } catch (const TSourceError& error) {
    return UnreadableClass(cls, source, error.what());
  }
  return ReadClass(cls, source, std::move(instances));
}

}  // namespace

std::optional<std::uint16_t> ReadOperatingSystemType(const TWmiConnection& wmi) {
  std::optional<std::uint32_t> type;
  try {
    wmi.Query("Win32_OperatingSystem", L"SELECT OSType FROM Win32_OperatingSystem", kWmiLimit,
              [&](IWbemClassObject& system) { type = NumberOf(system, L"OSType"); });
  } catch (const TSourceError&) {
    return std::nullopt;
  }
  if (!type || *type > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(*type);
}

// In WQL a backslash is written twice.
TClassResult ReadPciDevices(const TWmiConnection& wmi) {
  return ReadEach(wmi, TPciDevice::kClass, kPciSource, "Win32_PnPEntity",
                  L"SELECT DeviceID, Name FROM Win32_PnPEntity WHERE DeviceID LIKE 'PCI\\\\%'",
                  PciDevice);
}

TClassResult ReadServices(const TWmiConnection& wmi) {
  return ReadEach(wmi, TSystemService::kClass, kServiceSource, "Win32_Service",
                  L"SELECT Name, DisplayName, State FROM Win32_Service", Service);
}

}  // namespace NZARNCOLLECT
