#include <gtest/gtest.h>

#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;

const char kDiskDrive[] = "QELSG_txDiskDrive";
const char kController[] = "QELSG_txSCSIProtocolController";
const std::string kSequenceEnded = "[0] Tvxanal: Error getting class or property";

// One disk and one controller that each give a finding, a disk the disk
// steps pass over, and a version record reached through its disk.
TInventoryBuilder Server() {
  TInventoryBuilder inventory;
  inventory
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", "ACME 146G"}, {"DeviceSerialNum", "9QZ1"}},
           "disk0")
      .Add(kDiskDrive, {{"DeviceType", "CD-ROM"}}, "cd0")
      .Add("QELSG_txDiskDriveVersion", {{"Version", "0004"}}, "disk0-fw")
      .Associate("disk0", "disk0-fw")
      .Add(kController,
           {{"ControllerType", "Tarvex-4a"}, {"ControllerNum", UInt32(1)}, {"DataScrubbing", "No"}},
           "ctrl1");
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
    // CheckManagerInstalled: a controller, and no PCI device class
    {"GetClass QELSG_txSCSIProtocolController",
     "EnumerateInstances QELSG_txSCSIProtocolController =1", "GetClass QELSG_PCIDevice !15",
     "[0] Unabled to get class QELSG_PCIDevice"},
    // CheckDataScrubbing
    {"GetClass QELSG_txSCSIProtocolController",
     "EnumerateInstances QELSG_txSCSIProtocolController =1", "GetProperty ctrl1.ControllerType",
     "GetProperty ctrl1.ControllerNum", "GetProperty ctrl1.DataScrubbing",
     "[100] Tarvex: Data scrubbing for controller number 1 controller type Tarvex-4a is "
     "disabled"},
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
