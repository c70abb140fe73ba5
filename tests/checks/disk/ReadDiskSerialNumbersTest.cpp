#include <gtest/gtest.h>

#include "checks/disk/DiskInventory.h"

namespace {

using namespace NTESTS;

TEST(DiskSerialNumbers, ReadsTheSerialOfEveryHardDiskAndWritesNothing) {
  TInventoryBuilder inventory = DiskInventory();
  inventory
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", "QEL-RND"}, {"DeviceSerialNum", "3HX0"}},
           "disk0")
      .Add(kDiskDrive, {{"DeviceType", "CD-ROM"}}, "cd0")
      .Add(kDiskDrive, {{"DeviceType", Null()}}, "odd0")
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", "QEL-RND"}, {"DeviceSerialNum", Null()}},
           "disk1")
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", "QEL-RND"}, {"DeviceSerialNum", "3HX0"}},
           "disk2");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(CallsOfDiskStep(result.calls, 1),
            (std::vector<std::string>{
                "GetClass QELSG_txDiskDrive", "EnumerateInstances QELSG_txDiskDrive =5",
                "GetProperty disk0.DeviceType", "GetProperty disk0.DeviceSerialNum",
                "GetProperty cd0.DeviceType", "GetProperty odd0.DeviceType",
                "GetProperty disk1.DeviceType", "GetProperty disk1.DeviceSerialNum",
                "GetProperty disk2.DeviceType", "GetProperty disk2.DeviceSerialNum"}));
  EXPECT_TRUE(result.lines.empty());
}

TEST(DiskSerialNumbers, AHardDiskWithoutASerialEndsThePassAnotherDiskDoesNot) {
  TInventoryBuilder inventory = DiskInventory();
  inventory.Add(kDiskDrive, {{"DeviceType", "CD-ROM"}, {"DeviceCode", "ACME 48X"}})
      .Add(kDiskDrive, {{"DeviceType", "Hard disk"}, {"DeviceCode", "QEL-RND 36G"}}, "disk0");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(result.lines, (std::vector<TLine>{{0, "Tvxanal: Error getting class or property"}}));
  EXPECT_EQ(result.calls.back(), "GetProperty disk0.DeviceSerialNum !15");
}

}  // namespace
