#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "collectors/Deadline.h"
#include "collectors/InventoryDocument.h"
#include "zarncore/WindowsText.h"

namespace NZARNCOLLECT {

using NZARNCORE::SystemMessage;
using NZARNCORE::Utf16;
using NZARNCORE::Utf8;

class TWmiConnection;

// Win32_OperatingSystem.OSType; none when WMI cannot say.
std::optional<std::uint16_t> ReadOperatingSystemType(const TWmiConnection& wmi);

// The PCI devices of the device tree, as NSchema::TPciDevice.
TClassResult ReadPciDevices(const TWmiConnection& wmi);

// Every service, as NSchema::TSystemService.
TClassResult ReadServices(const TWmiConnection& wmi);

// The programs of the registry's Uninstall keys, as NSchema::TInstalledApplication.
TClassResult ReadInstalledPrograms(const TDeadline& collection);

// The newest records of the System event log, as NSchema::TEventLogRecord;
// with a bookmark, only those no older than it (see SystemEventQuery).
TClassResult ReadSystemEventLog(unsigned maxEvents, unsigned maxDays,
                                const std::optional<std::string>& bookmark,
                                const TDeadline& collection);

}  // namespace NZARNCOLLECT
