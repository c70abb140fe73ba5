#pragma once

#include <map>
#include <string>

#include "collectors/FileTree.h"
#include "collectors/InventoryDocument.h"

namespace NZARNCOLLECT {

// The PCI devices under /sys/bus/pci/devices, as QELSG_PCIDevice.
TClassResult ReadPciDevices(const TFileTree& files);

// The installed packages, as QELSG_InstalledRPM: from the dpkg status file
// where there is one, else from rpm where there is an rpm database.
TClassResult ReadInstalledPackages(TFileTree& files);

// The service units of the systemd unit folders, as QELSG_SystemServiceInfo;
// with their states when systemd runs this machine.
TClassResult ReadServiceUnits(const TFileTree& files);

// The states that `systemctl list-units --plain --no-legend` lists: service
// name without ".service" to its state, "active (running)".
std::map<std::string, std::string> ParseUnitStates(const std::string& listing);

}  // namespace NZARNCOLLECT
