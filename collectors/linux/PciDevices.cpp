#include <charconv>
#include <cstdint>

#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/linux/LinuxSources.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

using NZARNCORE::NSchema::TPciDevice;

const char kDevices[] = "/sys/bus/pci/devices";

// The kernel writes an ID as "0x9005\n"; anything longer is no ID.
constexpr std::size_t kIdFileLimit = 64;

// What could not be read of the devices: how many lost an ID, and the
// first reason.
struct TLosses {
  std::size_t devices = 0;
  std::string first;
};

// One device's ID files, read; a problem other than a missing file is a
// loss.
class TDeviceReader {
 public:
  TDeviceReader(const TFileTree& files, std::string device)
      : m_files(files), m_device(std::move(device)) {}

  // An ID file that is missing or holds no ID gives a typed null.
  boost::json::value Id(const char* name) {
    try {
      const std::optional<std::string> text =
          m_files.ReadIfExists(m_device + "/" + name, kIdFileLimit);
      return Uint16(text ? ParsePciId(*text) : std::nullopt);
    } catch (const TSourceError& error) {
      if (m_problem.empty()) m_problem = error.what();
      return Uint16(std::nullopt);
    }
  }

  // The driver bound to the device: the name its link leads to; null for
  // none.
  boost::json::value Driver() const {
    std::optional<std::string> target = m_files.LinkTarget(m_device + "/driver");
    if (target) target->erase(target->find_last_not_of('/') + 1);
    if (!target || target->empty()) return nullptr;
    return boost::json::value(target->substr(target->rfind('/') + 1));
  }

  const std::string& Problem() const { return m_problem; }

 private:
  const TFileTree& m_files;
  std::string m_device;
  std::string m_problem;
};

boost::json::object Device(const TFileTree& files, const std::string& slot, TLosses& losses) {
  TDeviceReader device(files, std::string(kDevices) + "/" + slot);
  boost::json::object instance{{TPciDevice::kVendorId, device.Id("vendor")},
                               {TPciDevice::kDeviceId, device.Id("device")},
                               {TPciDevice::kSubVendorId, device.Id("subsystem_vendor")},
                               {TPciDevice::kSubDeviceId, device.Id("subsystem_device")},
                               {TPciDevice::kSlot, slot},
                               {TPciDevice::kDriver, device.Driver()}};
  if (!device.Problem().empty() && losses.devices++ == 0) losses.first = device.Problem();
  return instance;
}

std::string Lost(const TLosses& losses, std::size_t devices) {
  return "the IDs of " + std::to_string(losses.devices) + " of " + std::to_string(devices) +
         " devices could not be read, the first because " + losses.first;
}

}  // namespace

std::optional<std::uint16_t> ParsePciId(const std::string& text) {
  const std::size_t end = text.find_last_not_of(" \t\r\n") + 1;
  if (text.compare(0, 2, "0x") != 0 || end <= 2 || end > 6) return std::nullopt;
  std::uint16_t id = 0;
  const auto parsed = std::from_chars(text.data() + 2, text.data() + end, id, 16);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + end) return std::nullopt;
  return id;
}

TClassResult ReadPciDevices(const TFileTree& files) {
  TInstanceList devices;
  TLosses losses;
  try {
    for (const TFileTree::TEntry& entry : files.List(kDevices)) {
      if (entry.kind == TFileTree::EKind::Link || entry.kind == TFileTree::EKind::Folder) {
        devices.Add(Device(files, entry.name, losses));
      }
    }
  } catch (const TSourceError& error) {
    return UnreadableClass(TPciDevice::kClass, kDevices, error.what());
  }
  if (losses.devices != 0) {
    const std::string lost = Lost(losses, devices.Size());
    return PartialClass(TPciDevice::kClass, kDevices, std::move(devices), lost);
  }
  return ReadClass(TPciDevice::kClass, kDevices, std::move(devices));
}

}  // namespace NZARNCOLLECT
