#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "checks/disk/DiskInventory.h"

namespace {

using namespace NTESTS;

TLine Unsupported(const std::string& loweredCode) {
  return TLine{100, "Tarvex: Disk with device code \"" + loweredCode + "\" may not be supported."};
}

struct TVendorCase {
  const char* name;
  TCIMValue type;
  TCIMValue code;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TVendorCase& c) { return out << c.name; }
};

class DiskVendors : public ::testing::TestWithParam<TVendorCase> {};

TEST_P(DiskVendors, ReportsAHardDiskWithoutASupportedTag) {
  const TVendorCase& c = GetParam();
  TInventoryBuilder inventory = DiskInventory();
  inventory.Add(kDiskDrive,
                {{"DeviceType", c.type}, {"DeviceCode", c.code}, {"DeviceSerialNum", "3HX0A1B2"}});
  EXPECT_EQ(Analyse(inventory).lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskVendors,
    ::testing::Values(
        TVendorCase{"FirstTag", "Hard disk", "qel-rnd 36G", {}},
        TVendorCase{"SecondTagInCapitals", "Hard disk", "QEL-MBNO 73G", {}},
        TVendorCase{"ThirdTagInMixedCase", "Hard disk", "Qel-Vtra 300G", {}},
        TVendorCase{"TagInTheMiddle", "Hard disk", "ST QEL-RND 36G", {}},
        TVendorCase{"TagAtTheEnd", "Hard disk", "300G/QEL-VTRA", {}},
        TVendorCase{
            "OtherVendorShownLowered", "Hard disk", "ACME 146G", {Unsupported("acme 146g")}},
        TVendorCase{
            "FirstSixCharactersOfATag", "Hard disk", "QEL-RN 36G", {Unsupported("qel-rn 36g")}},
        TVendorCase{"TagBrokenByABlank", "Hard disk", "QEL-MB NO", {Unsupported("qel-mb no")}},
        TVendorCase{"EmptyCode", "Hard disk", "", {Unsupported("")}},
        // A capital letter of Latin-1, then one of UTF-8: only A to Z are lowered.
        TVendorCase{"BytesAboveAsciiKept",
                    "Hard disk",
                    "\xC4 \xC3\x84 ACME",
                    {Unsupported("\xC4 \xC3\x84 acme")}},
        TVendorCase{"CodeTakenAsText", "Hard disk", UInt32(42), {Unsupported("42")}},
        TVendorCase{"NullCode", "Hard disk", Null(), {}},
        TVendorCase{"TypeInOtherCase", "hard disk", "ACME 146G", {}},
        TVendorCase{"TypeWithTrailingBlank", "Hard disk ", "ACME 146G", {}},
        TVendorCase{"OtherType", "CD-ROM", "ACME 48X", {}},
        TVendorCase{"NullType", Null(), "ACME 146G", {}}),
    NTESTS::TCaseName());

TEST(DiskVendorsCheck, ReportsEachUnsupportedDiskInDeliveryOrder) {
  TInventoryBuilder inventory = DiskInventory();
  inventory
      .Add(kDiskDrive, {{"DeviceType", "Hard disk"},
                        {"DeviceCode", "ACME 146G"},
                        {"DeviceSerialNum", "3HX0A1B2"}})
      .Add(kDiskDrive, {{"DeviceType", "Hard disk"},
                        {"DeviceCode", "QEL-RND 36G"},
                        {"DeviceSerialNum", "3HX0A1B2"}})
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", "Zeta 9"}, {"DeviceSerialNum", "3HX0A1B2"}})
      .Add(kDiskDrive, {{"DeviceType", "Hard disk"},
                        {"DeviceCode", "ACME 146G"},
                        {"DeviceSerialNum", "3HX0A1B2"}});
  EXPECT_EQ(Analyse(inventory).lines,
            (std::vector<TLine>{Unsupported("acme 146g"), Unsupported("zeta 9"),
                                Unsupported("acme 146g")}));
}

TEST(DiskVendorsCheck, ReadsTheCodeOfHardDisksOnly) {
  TInventoryBuilder inventory = DiskInventory();
  inventory.Add(kDiskDrive, {{"DeviceType", "CD-ROM"}}, "cd0")
      .Add(kDiskDrive, {{"DeviceType", Null()}}, "odd0")
      .Add(kDiskDrive,
           {{"DeviceType", "Hard disk"}, {"DeviceCode", "ACME"}, {"DeviceSerialNum", "3HX0A1B2"}},
           "disk0");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(CallsOfDiskStep(result.calls, 0),
            (std::vector<std::string>{
                "GetClass QELSG_txDiskDrive", "EnumerateInstances QELSG_txDiskDrive =3",
                "GetProperty cd0.DeviceType", "GetProperty odd0.DeviceType",
                "GetProperty disk0.DeviceType", "GetProperty disk0.DeviceCode"}));
  EXPECT_EQ(result.lines, std::vector<TLine>{Unsupported("acme")});
}

}  // namespace
