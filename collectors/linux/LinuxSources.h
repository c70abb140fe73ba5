#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "collectors/FileTree.h"
#include "collectors/InventoryDocument.h"
#include "collectors/TimedProgram.h"

namespace NZARNCOLLECT {

// The PCI devices under /sys/bus/pci/devices, as NSchema::TPciDevice.
TClassResult ReadPciDevices(const TFileTree& files);

// A PCI ID as the kernel writes it, "0x9005\n"; none for anything else.
std::optional<std::uint16_t> ParsePciId(const std::string& text);

// The installed packages, as NSchema::TInstalledRpm: from the dpkg status file
// and its journal where there is one, else from rpm where there is an rpm
// database.
TClassResult ReadInstalledPackages(const TFileTree& files, const TDeadline& deadline);

// The installed packages of dpkg's status file, once the files of its
// journal (in order) have been applied to it: "name version", the name as
// dpkg-query's ${binary:Package} gives it, in dpkg-query's order.
std::vector<std::string> DpkgInstalled(const std::string& status,
                                       const std::vector<std::string>& journal);

// The service units of the systemd unit folders, as NSchema::TSystemService,
// as `systemctl list-unit-files --type=service` lists them, without masked
// units, aliases and links that lead nowhere; with their states when
// systemd runs this machine.
TClassResult ReadServiceUnits(const TFileTree& files, const TDeadline& deadline);

// Whether systemd takes a file of this name for a service unit.
bool IsServiceUnitName(const std::string& name);

// What a unit's [Install] section asks for when the unit is enabled.
struct TInstallRules {
  bool enables = false;  // links of its own: WantedBy=, RequiredBy=, UpheldBy=, Alias=
  bool also = false;     // other units to enable with it
  std::set<std::string> aliases;
  std::string defaultInstance;  // of a template
};
TInstallRules ParseInstallRules(const std::string& unitText);

// The states that `systemctl list-units --plain --no-legend` lists: service
// name without ".service" to its state, "active (running)".
std::map<std::string, std::string> ParseUnitStates(const std::string& listing);

}  // namespace NZARNCOLLECT
