#include <charconv>
#include <cstdint>

#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/linux/LinuxSources.h"

namespace NZARNCOLLECT {

namespace {

const char kClass[] = "QELSG_PCIDevice";
const char kDevices[] = "/sys/bus/pci/devices";

// The kernel writes an ID as "0x9005\n".
boost::optional<std::uint16_t> ParseId(const std::string& text) {
  const std::size_t end = text.find_last_not_of(" \n") + 1;
  if (text.compare(0, 2, "0x") != 0 || end <= 2 || end > 6) return boost::none;
  std::uint16_t id = 0;
  const auto parsed = std::from_chars(text.data() + 2, text.data() + end, id, 16);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + end) return boost::none;
  return id;
}

// An ID file that is missing or holds no ID gives a typed null.
boost::json::value Id(const TFileTree& files, const std::string& path) {
  try {
    return Uint16(ParseId(files.Read(path)));
  } catch (const TSourceError&) {
    return Uint16(boost::none);
  }
}

// The driver bound to the device: the name its link leads to; null for none.
boost::json::value Driver(const TFileTree& files, const std::string& device) {
  const boost::optional<std::string> target = files.LinkTarget(device + "/driver");
  if (!target) return nullptr;
  return boost::json::value(target->substr(target->rfind('/') + 1));
}

boost::json::object Device(const TFileTree& files, const std::string& slot) {
  const std::string device = std::string(kDevices) + "/" + slot;
  return boost::json::object{{"VendorID", Id(files, device + "/vendor")},
                             {"PciDeviceID", Id(files, device + "/device")},
                             {"SubVendorID", Id(files, device + "/subsystem_vendor")},
                             {"SubDeviceID", Id(files, device + "/subsystem_device")},
                             {"Slot", slot},
                             {"Driver", Driver(files, device)}};
}

}  // namespace

TClassResult ReadPciDevices(const TFileTree& files) {
  boost::json::array devices;
  try {
    for (const TFileTree::TEntry& entry : files.List(kDevices)) {
      if (entry.kind == TFileTree::EKind::Link || entry.kind == TFileTree::EKind::Folder) {
        devices.push_back(Device(files, entry.name));
      }
    }
  } catch (const TSourceError& error) {
    return UnreadableClass(kClass, kDevices, error.what());
  }
  return ReadClass(kClass, kDevices, std::move(devices));
}

}  // namespace NZARNCOLLECT
