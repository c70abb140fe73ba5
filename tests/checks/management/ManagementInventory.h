#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "support/AnalysisHarness.h"

// What the management check tests share: the classes of the pass, the lines
// the checks write, and a run over an inventory that lists every class.
namespace NTESTS {

const char kControllerClass[] = "QELSG_txSCSIProtocolController";
const char kPciDeviceClass[] = "QELSG_PCIDevice";
const char kApplicationClass[] = "QELSG_InstalledApplication";
const char kRpmClass[] = "QELSG_InstalledRPM";
const char kServiceClass[] = "QELSG_SystemServiceInfo";

const TLine kAdviceLine{100,
                        "A Tarvex adapter is present but Tarvex Manager is not installed.Tarvex "
                        "Manager may be obtained from the Qel Support site."};
const TLine kAdviceText{
    101,
    "\nA Tarvex adapter is present in the system but Tarvex Manager is not installed.\n"
    "It is recommended to install Tarvex Manager before re-running Zarn and submitting the file to "
    "Qel.\nThis will enhance the information contained within the report.\n"
    "Tarvex Manager may be obtained from the Qel Support site.\n"};
const TLine kNoAgent{100,
                     "Tarvex manager is installed, but with no agent. For Zarn to collect logs "
                     "from 4a, 4a-x, 4c, 4d, 3q, the agent needs to be installed"};
const TLine kAgentFound{3, "The tarvex manager is installed and has tarvex manager agent!"};
const TLine kSequenceEnded{0, "Tvxanal: Error getting class or property"};

inline TLine ServiceLine(const std::string& name) {
  return TLine{3, "The tarvex manager system service is:" + name};
}

// A PCI device with the given identity.
inline TInventoryBuilder& AddPciDevice(TInventoryBuilder& inventory, std::uint16_t vendorId,
                                       std::uint16_t deviceId, const std::string& id = "") {
  return inventory.Add(kPciDeviceClass,
                       {{"VendorID", UInt16(vendorId)}, {"PciDeviceID", UInt16(deviceId)}}, id);
}
inline TInventoryBuilder& AddAdapter(TInventoryBuilder& inventory) {
  return AddPciDevice(inventory, 0x9005, 0x0285);
}
// A controller the other checks of the pass find nothing wrong with.
inline TInventoryBuilder& AddController(TInventoryBuilder& inventory) {
  return inventory.Add(kControllerClass, {{"ControllerType", "Tarvex-4a"},
                                          {"ControllerNum", UInt32(1)},
                                          {"DataScrubbing", "Enabled"},
                                          {"PartOfCluster", "No"},
                                          {"DeviceDriverVersion", Null()}});
}
inline TInventoryBuilder& AddManager(TInventoryBuilder& inventory) {
  return inventory.Add(kApplicationClass, {{"ProductName", "Tarvex Manager 6.40"}});
}

// Runs the analysis once; every class of the pass that the test has not
// given (with content or a fault) is listed empty, and the operating system
// is type 18 unless the test says otherwise.
inline TRunResult AnalyseManagement(const TInventoryBuilder& inventory,
                                    const std::vector<std::string>& classes = {kAnalysisClass}) {
  TInventoryBuilder completed = inventory;
  ListEveryClass(completed);
  if (!inventory.Build()->OperatingSystemType() && !inventory.Build()->OperatingSystemTypeFault())
    completed.OperatingSystemType(18);
  return Analyse(completed, classes);
}

inline bool Called(const TRunResult& result, const std::string& call) {
  return std::find(result.calls.begin(), result.calls.end(), call) != result.calls.end();
}

// The properties read, in order.
inline std::vector<std::string> Reads(const TRunResult& result) {
  std::vector<std::string> reads;
  for (const std::string& call : result.calls)
    if (call.rfind("GetProperty ", 0) == 0) reads.push_back(call.substr(12));
  return reads;
}

}  // namespace NTESTS
