#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include <boost/optional.hpp>

#include "collectors/InventoryDocument.h"
#include "collectors/TimedProgram.h"

namespace NZARNCOLLECT {

class TWmiConnection;

// A source's time limit, counted from when the source starts.
class TDeadline {
 public:
  TDeadline(std::string source, std::chrono::milliseconds limit);

  // The milliseconds left for a call that waits. Throws TSourceError, "timed
  // out: SOURCE did not answer within N s", once none are left.
  unsigned long RemainingMs() const;

 private:
  std::string m_source;
  std::chrono::milliseconds m_limit;
  std::chrono::steady_clock::time_point m_end;
};

// Texts between the system's UTF-16 and the inventory's UTF-8.
std::string Utf8(const std::wstring& text);
std::wstring Utf16(const std::string& text);

// The system's words for an error code (a Win32 error or an HRESULT), as
// the end of a sentence: "access is denied (error 5)".
std::string SystemMessage(unsigned long code);

// Win32_OperatingSystem.OSType; none when WMI cannot say.
boost::optional<std::uint16_t> ReadOperatingSystemType(const TWmiConnection& wmi);

// The PCI devices of the device tree, as QELSG_PCIDevice.
TClassResult ReadPciDevices(const TWmiConnection& wmi);

// Every service, as QELSG_SystemServiceInfo.
TClassResult ReadServices(const TWmiConnection& wmi);

// The programs of the registry's Uninstall keys, as QELSG_InstalledApplication.
TClassResult ReadInstalledPrograms(const TTimeBudget& budget);

// The newest records of the System event log, as
// QELSG_WindowsSystemEventLogRecord.
TClassResult ReadSystemEventLog(unsigned maxEvents, unsigned maxDays, const TTimeBudget& budget);

}  // namespace NZARNCOLLECT
