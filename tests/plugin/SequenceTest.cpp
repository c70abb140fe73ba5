#include <gtest/gtest.h>

#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;

const char kDiskDrive[] = "QELSG_txDiskDrive";
const char kController[] = "QELSG_txSCSIProtocolController";
const std::string kSequenceEnded = "[0] Tvxanal: Error getting class or property";

// Something for every check of the pass to find: a disk of an unsupported
// make and a disk the disk steps pass over, a version record reached through
// its disk, an adapter device without its management software, a controller
// with scrubbing off and a BIOS of another version, a device with errors, a
// driver message, a logical drive with bad stripes, and a service that is
// not the agent.
TInventoryBuilder Server() {
  TInventoryBuilder inventory;
  inventory
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", "ACME 146G"}, {"DeviceSerialNum", "9QZ1"}},
           "disk0")
      .Add(kDiskDrive, {{"DeviceType", "CD-ROM"}}, "cd0")
      .Add("QELSG_txDiskDriveVersion", {{"Version", "0004"}}, "disk0-fw")
      .Associate("disk0", "disk0-fw")
      .Add("QELSG_PCIDevice", {{"VendorID", UInt16(0x9005)}, {"PciDeviceID", UInt16(0x0285)}},
           "pci0")
      .Add("QELSG_InstalledApplication", {{"ProductName", "Backup Agent 7.2"}}, "app0")
      .OperatingSystemType(18)
      .Add(kController,
           {{"ControllerType", "Tarvex-4a"},
            {"ControllerNum", UInt32(1)},
            {"DataScrubbing", "No"},
            {"PartOfCluster", "No"},
            {"DeviceDriverVersion", "5.20"}},
           "ctrl1")
      .Add("QELSG_txSCSIDeviceData",
           {{"ControllerNum", UInt32(1)},
            {"Channel", UInt32(0)},
            {"ScsiId", UInt32(2)},
            {"NumParityErrors", UInt32(0)},
            {"NumSoftErrors", UInt32(3)},
            {"NumHardErrors", UInt32(0)},
            {"PFA", "No"},
            {"Misc", UInt32(0)}},
           "dev0")
      .Add("QELSG_WindowsSystemEventLogRecord",
           {{"EventID", UInt32(9)}, {"Message", "zelk412.sys: reset"}}, "event0")
      .Add("QELSG_txBiosVersion", {{"Name", "Tarvex1 BIOS"}, {"Version", "5.10"}}, "bios0")
      .Add(
          "QELSG_BadStripeData",
          {{"ControllerNum", UInt32(1)}, {"LogicalDrive", UInt32(0)}, {"NumBadStripes", UInt32(2)}},
          "stripes0")
      .Add("QELSG_SystemServiceInfo", {{"Name", "Spooler"}}, "service0");
  return inventory;
}

// What each check of one pass over Server() asks and writes, in the order
// the pass runs them.
const std::vector<std::vector<std::string> > kPassOverServer = {
    // CheckDiskVendors
    {"GetClass QELSG_txDiskDrive", "EnumerateInstances QELSG_txDiskDrive =2",
     "GetProperty disk0.DeviceType", "GetProperty disk0.DeviceCode",
     "[100] Tarvex: Disk with device code \"acme 146g\" may not be supported.",
     "GetProperty cd0.DeviceType"},
    // ReadDiskSerialNumbers
    {"GetClass QELSG_txDiskDrive", "EnumerateInstances QELSG_txDiskDrive =2",
     "GetProperty disk0.DeviceType", "GetProperty disk0.DeviceSerialNum",
     "GetProperty cd0.DeviceType"},
    // ReadDiskDriveVersions
    {"GetClass QELSG_txDiskDrive", "EnumerateInstances QELSG_txDiskDrive =2",
     "GetProperty disk0.DeviceType",
     "EnumerateAssociatedInstances disk0 QELSG_txDiskDriveVersion =1",
     "GetProperty disk0-fw.Version", "GetProperty disk0.DeviceCode", "GetProperty cd0.DeviceType"},
    // CheckManagerInstalled
    {"GetClass QELSG_txSCSIProtocolController",
     "EnumerateInstances QELSG_txSCSIProtocolController =1", "GetClass QELSG_PCIDevice",
     "EnumerateInstances QELSG_PCIDevice =1", "GetProperty pci0.VendorID",
     "GetProperty pci0.PciDeviceID", "GetOperatingSystemType =18",
     "GetClass QELSG_InstalledApplication", "EnumerateInstances QELSG_InstalledApplication =1",
     "GetProperty app0.ProductName",
     "[100] A Tarvex adapter is present but Tarvex Manager is not installed.Tarvex Manager may "
     "be obtained from the Qel Support site.",
     "[101] \nA Tarvex adapter is present in the system but Tarvex Manager is not installed.\n"
     "It is recommended to install Tarvex Manager before re-running Zarn and submitting the file "
     "to Qel.\nThis will enhance the information contained within the report.\n"
     "Tarvex Manager may be obtained from the Qel Support site.\n"},
    // CheckScsiDeviceErrors
    {"GetClass QELSG_txSCSIProtocolController",
     "EnumerateInstances QELSG_txSCSIProtocolController =1", "GetClass QELSG_txDiskDrive",
     "EnumerateInstances QELSG_txDiskDrive =2", "GetProperty ctrl1.PartOfCluster",
     "GetClass QELSG_txSCSIDeviceData", "EnumerateInstances QELSG_txSCSIDeviceData =1",
     "GetProperty dev0.ControllerNum", "GetProperty dev0.Channel", "GetProperty dev0.ScsiId",
     "GetProperty dev0.NumParityErrors", "GetProperty dev0.NumSoftErrors",
     "GetProperty dev0.NumHardErrors", "GetProperty dev0.PFA", "GetProperty dev0.Misc",
     "[100] Tarvex: Controller 1 Channel 0 Scsi ID 2 reported 3 soft errors"},
    // CheckEventLog
    {"GetClass QELSG_WindowsSystemEventLogRecord",
     "EnumerateInstances QELSG_WindowsSystemEventLogRecord =1", "GetProperty event0.EventID",
     "GetProperty event0.Message",
     "[100] Tarvex: Found in system event log a message with event id 9 associated with "
     "zelk412.sys, the message reads zelk412.sys: reset"},
    // CheckBiosDriverVersion
    {"GetClass QELSG_txSCSIProtocolController", "GetClass QELSG_txBiosVersion",
     "EnumerateInstances QELSG_txSCSIProtocolController =1", "GetProperty ctrl1.ControllerType",
     "GetProperty ctrl1.ControllerNum", "GetProperty ctrl1.DeviceDriverVersion",
     "EnumerateInstances QELSG_txBiosVersion =1", "GetProperty bios0.Name",
     "GetProperty bios0.Version",
     "[100] Tarvex: Bios version: 5.10 Doesn't match with device driver version: 5.20 for "
     "controller number 1 controller type Tarvex-4a"},
    // CheckDataScrubbing
    {"GetClass QELSG_txSCSIProtocolController",
     "EnumerateInstances QELSG_txSCSIProtocolController =1", "GetProperty ctrl1.ControllerType",
     "GetProperty ctrl1.ControllerNum", "GetProperty ctrl1.DataScrubbing",
     "[100] Tarvex: Data scrubbing for controller number 1 controller type Tarvex-4a is "
     "disabled"},
    // CheckBadStripes
    {"GetClass QELSG_BadStripeData", "EnumerateInstances QELSG_BadStripeData =1",
     "GetProperty stripes0.ControllerNum", "GetProperty stripes0.LogicalDrive",
     "GetProperty stripes0.NumBadStripes",
     "[100] Tarvex: Logical drive 0 on controller 1 has 2 bad stripes"},
    // CheckReserved touches nothing; CheckManagerAgent
    {"GetClass QELSG_SystemServiceInfo", "EnumerateInstances QELSG_SystemServiceInfo =1",
     "GetProperty service0.Name", "[3] The tarvex manager system service is:Spooler"},
};

std::vector<std::string> Pass(const std::vector<std::vector<std::string> >& checks) {
  std::vector<std::string> events = {"GetName QELSG_TVXHeavyHittersAnalysis"};
  for (const std::vector<std::string>& check : checks)
    events.insert(events.end(), check.begin(), check.end());
  return events;
}

std::vector<std::string> Twice(const std::vector<std::string>& pass) {
  std::vector<std::string> events = pass;
  events.insert(events.end(), pass.begin(), pass.end());
  return events;
}

TEST(CheckSequence, TheChecksTouchTheHostOneAfterAnotherInTheirOrder) {
  const TRunResult result = Analyse(Server());
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.events, Pass(kPassOverServer));
}

TEST(CheckSequence, AMissingClassInTheFirstCheckEndsThePassAndTheNextOccurrenceTriesAgain) {
  TInventoryBuilder inventory;
  inventory.Add(
      kController,
      {{"ControllerType", "Tarvex-4a"}, {"ControllerNum", UInt32(1)}, {"DataScrubbing", "No"}});
  const TRunResult result = Analyse(inventory, {kAnalysisClass, kAnalysisClass});
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.events, Twice({"GetName QELSG_TVXHeavyHittersAnalysis",
                                  "GetClass QELSG_txDiskDrive !15", kSequenceEnded}));
}

TEST(CheckSequence, AMissingPropertyInTheFirstCheckKeepsItsEarlierFindingsAndEndsThePass) {
  TInventoryBuilder inventory = Server();
  inventory.Add(kDiskDrive, {{"DeviceType", "Hard disk"}}, "disk1");
  const std::vector<std::string> pass = {
      "GetName QELSG_TVXHeavyHittersAnalysis",
      "GetClass QELSG_txDiskDrive",
      "EnumerateInstances QELSG_txDiskDrive =3",
      "GetProperty disk0.DeviceType",
      "GetProperty disk0.DeviceCode",
      "[100] Tarvex: Disk with device code \"acme 146g\" may not be supported.",
      "GetProperty cd0.DeviceType",
      "GetProperty disk1.DeviceType",
      "GetProperty disk1.DeviceCode !15",
      kSequenceEnded};
  EXPECT_EQ(Analyse(inventory, {kAnalysisClass, kAnalysisClass}).events, Twice(pass));
}

}  // namespace
