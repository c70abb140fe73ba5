#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "checks/disk/DiskInventory.h"

namespace {

using namespace NTESTS;

const TLine kSequenceEnded{0, "Tvxanal: Error getting class or property"};

TEST(DiskDriveVersions, ReadsTheFirstRecordOfEachHardDiskAndGoesPastADiskWithout) {
  TInventoryBuilder inventory = DiskInventory();
  inventory
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"},
            {"DeviceCode", "QEL-RND 36G"},
            {"DeviceSerialNum", "3HX0A1B2"}},
           "disk0")
      .Add(kDiskDrive, {{"DeviceType", "CD-ROM"}}, "cd0")
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"},
            {"DeviceCode", "QEL-RND 36G"},
            {"DeviceSerialNum", "3HX0A1B2"}},
           "disk1")
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"},
            {"DeviceCode", "QEL-VTRA 300G"},
            {"DeviceSerialNum", "3HX0A1B2"}},
           "disk2")
      .Add(kDiskDriveVersion, {{"Version", "B8A0"}}, "disk0-fw")
      .Add(kDiskDriveVersion, {{"Version", "B8A1"}}, "disk0-fw2")
      .Add(kDiskDriveVersion, {{"Version", "D2E1"}}, "disk2-fw")
      .Add(kDiskDriveVersion, {{"Version", "0000"}}, "cd0-fw")
      .Associate("disk0", "disk0-fw")
      .Associate("disk0-fw2", "disk0")
      .Associate("cd0", "cd0-fw")
      .Associate("disk2", "disk2-fw");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(CallsOfDiskStep(result.calls, 2),
            (std::vector<std::string>{
                "GetClass QELSG_txDiskDrive",
                "EnumerateInstances QELSG_txDiskDrive =4",
                "GetProperty disk0.DeviceType",
                "EnumerateAssociatedInstances disk0 QELSG_txDiskDriveVersion =2",
                "GetProperty disk0-fw.Version",
                "GetProperty disk0.DeviceCode",
                "GetProperty cd0.DeviceType",
                "GetProperty disk1.DeviceType",
                "EnumerateAssociatedInstances disk1 QELSG_txDiskDriveVersion =0",
                "GetProperty disk2.DeviceType",
                "EnumerateAssociatedInstances disk2 QELSG_txDiskDriveVersion =1",
                "GetProperty disk2-fw.Version",
                "GetProperty disk2.DeviceCode",
            }));
  EXPECT_TRUE(result.lines.empty());
}

struct TEarlyEndCase {
  const char* name;
  TCIMValue version;
  TCIMValue code;
  std::vector<std::string> calls;
  friend std::ostream& operator<<(std::ostream& out, const TEarlyEndCase& c) {
    return out << c.name;
  }
};

class DiskDriveVersionsEnd : public ::testing::TestWithParam<TEarlyEndCase> {};

// Two hard disks: whether the second is visited depends on what the first
// one's reads give.
TEST_P(DiskDriveVersionsEnd, ANullVersionOrCodeEndsTheWalkQuietly) {
  const TEarlyEndCase& c = GetParam();
  TInventoryBuilder inventory = DiskInventory();
  inventory
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", c.code}, {"DeviceSerialNum", "3HX0A1B2"}},
           "disk0")
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"},
            {"DeviceCode", "QEL-RND 36G"},
            {"DeviceSerialNum", "3HX0A1B2"}},
           "disk1")
      .Add(kDiskDriveVersion, {{"Version", c.version}}, "disk0-fw")
      .Add(kDiskDriveVersion, {{"Version", "B8A0"}}, "disk1-fw")
      .Associate("disk0", "disk0-fw")
      .Associate("disk1", "disk1-fw");
  const TRunResult result = Analyse(inventory);
  std::vector<std::string> calls = {
      "GetClass QELSG_txDiskDrive", "EnumerateInstances QELSG_txDiskDrive =2",
      "GetProperty disk0.DeviceType",
      "EnumerateAssociatedInstances disk0 QELSG_txDiskDriveVersion =1",
      "GetProperty disk0-fw.Version"};
  calls.insert(calls.end(), c.calls.begin(), c.calls.end());
  EXPECT_EQ(CallsOfDiskStep(result.calls, 2), calls);
  EXPECT_TRUE(result.lines.empty());
}

const std::vector<std::string> kSecondDisk = {
    "GetProperty disk1.DeviceType",
    "EnumerateAssociatedInstances disk1 QELSG_txDiskDriveVersion =1",
    "GetProperty disk1-fw.Version", "GetProperty disk1.DeviceCode"};

std::vector<std::string> FirstCodeThen(const std::vector<std::string>& rest) {
  std::vector<std::string> calls = {"GetProperty disk0.DeviceCode"};
  calls.insert(calls.end(), rest.begin(), rest.end());
  return calls;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskDriveVersionsEnd,
    ::testing::Values(TEarlyEndCase{"BothRead", "B8A0", "QEL-RND 36G", FirstCodeThen(kSecondDisk)},
                      TEarlyEndCase{"EmptyVersionIsNotNull", "", "QEL-RND 36G",
                                    FirstCodeThen(kSecondDisk)},
                      TEarlyEndCase{"NullVersion", Null(), "QEL-RND 36G", {}},
                      TEarlyEndCase{"NullCode", "B8A0", Null(), FirstCodeThen({})}),
    NTESTS::TCaseName());

TEST(DiskDriveVersions, AVersionRecordWithoutAVersionEndsThePass) {
  TInventoryBuilder inventory = DiskInventory();
  inventory
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"},
            {"DeviceCode", "QEL-RND 36G"},
            {"DeviceSerialNum", "3HX0A1B2"}},
           "disk0")
      .Add(kDiskDriveVersion, {{"Revision", "B8A0"}}, "disk0-fw")
      .Associate("disk0", "disk0-fw");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(result.lines, std::vector<TLine>{kSequenceEnded});
  EXPECT_EQ(result.calls.back(), "GetProperty disk0-fw.Version !15");
}

}  // namespace
