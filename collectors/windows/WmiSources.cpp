#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/windows/HardwareId.h"
#include "collectors/windows/WindowsSources.h"
#include "collectors/windows/Wmi.h"

namespace NZARNCOLLECT {

namespace {

const char kPciClass[] = "QELSG_PCIDevice";
const char kPciSource[] = "WMI: Win32_PnPEntity, the devices on the PCI bus";
const char kServiceClass[] = "QELSG_SystemServiceInfo";
const char kServiceSource[] = "WMI: Win32_Service";

// WMI answers from what the system keeps in memory; an answer that takes
// longer is stuck.
constexpr std::chrono::seconds kWmiLimit{30};

boost::json::value Text(const boost::optional<std::string>& text) {
  return text ? boost::json::value(*text) : boost::json::value(nullptr);
}

// A PCI device's instance ID begins with its most specific hardware ID.
boost::json::object PciDevice(IWbemClassObject& entity) {
  const boost::optional<std::string> id = TextOf(entity, L"DeviceID");
  const TPciIdentity identity = ParsePciHardwareId(id.value_or("")).value_or(TPciIdentity{});
  return boost::json::object{
      {"VendorID", Uint16(identity.vendor)},       {"PciDeviceID", Uint16(identity.device)},
      {"SubVendorID", Uint16(identity.subVendor)}, {"SubDeviceID", Uint16(identity.subDevice)},
      {"Name", Text(TextOf(entity, L"Name"))},     {"DeviceID", Text(id)}};
}

boost::json::object Service(IWbemClassObject& service) {
  return boost::json::object{{"Name", Text(TextOf(service, L"Name"))},
                             {"DisplayName", Text(TextOf(service, L"DisplayName"))},
                             {"State", Text(TextOf(service, L"State"))}};
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

boost::optional<std::uint16_t> ReadOperatingSystemType(const TWmiConnection& wmi) {
  boost::optional<std::uint32_t> type;
  try {
    wmi.Query("Win32_OperatingSystem", L"SELECT OSType FROM Win32_OperatingSystem", kWmiLimit,
              [&](IWbemClassObject& system) { type = NumberOf(system, L"OSType"); });
  } catch (const TSourceError&) {
    return boost::none;
  }
  if (!type || *type > 0xFFFF) return boost::none;
  return static_cast<std::uint16_t>(*type);
}

// In WQL a backslash is written twice.
TClassResult ReadPciDevices(const TWmiConnection& wmi) {
  return ReadEach(wmi, kPciClass, kPciSource, "Win32_PnPEntity",
                  L"SELECT DeviceID, Name FROM Win32_PnPEntity WHERE DeviceID LIKE 'PCI\\\\%'",
                  PciDevice);
}

TClassResult ReadServices(const TWmiConnection& wmi) {
  return ReadEach(wmi, kServiceClass, kServiceSource, "Win32_Service",
                  L"SELECT Name, DisplayName, State FROM Win32_Service", Service);
}

}  // namespace NZARNCOLLECT
