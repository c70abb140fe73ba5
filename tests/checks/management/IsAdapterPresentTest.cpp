#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "ManagementInventory.h"

namespace {

using namespace NTESTS;

const TLine kVendorMissing{3, "tvx analysis: didn't find VendorID property in QELGS_PCIDevice"};
const TLine kVendorNotUInt16{0, "tvx analysis: VendorID wasn't a uint16 in QELSG_PCIDevice"};
const TLine kDeviceMissing{3, "tvx analysis: didn't find PciDeviceID property in QELSG_PCIDevice"};
const TLine kDeviceNotUInt16{0, "tvx analysis: PciDeviceID wasn't a uint16 in QELSG_PCIDevice"};

// One PCI device, no controller, the management software installed and no
// agent service: the agent summary shows that the device counted as an
// adapter.
struct TIdentityCase {
  const char* name;
  TTestProperty vendor;
  TTestProperty device;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TIdentityCase& c) {
    return out << c.name;
  }
};

const std::vector<TLine> kAdapter{kNoAgent};
const std::vector<TLine> kNoAdapter{};
// A device that is no adapter is asked about each of the three identities.
std::vector<TLine> Thrice(const TLine& line) { return std::vector<TLine>(3, line); }

class AdapterIdentity : public ::testing::TestWithParam<TIdentityCase> {};

TEST_P(AdapterIdentity, CountsOnlyADeviceWithAnAdapterIdentity) {
  const TIdentityCase& c = GetParam();
  TInventoryBuilder inventory;
  inventory.Add(kPciDeviceClass, {c.vendor, c.device});
  AddManager(inventory);
  EXPECT_EQ(AnalyseManagement(inventory).lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdapterIdentity,
    ::testing::Values(
        TIdentityCase{
            "First", {"VendorID", UInt16(0x9005)}, {"PciDeviceID", UInt16(0x0285)}, kAdapter},
        TIdentityCase{
            "Second", {"VendorID", UInt16(0x9005)}, {"PciDeviceID", UInt16(0x0286)}, kAdapter},
        TIdentityCase{
            "Third", {"VendorID", UInt16(0x9005)}, {"PciDeviceID", UInt16(0x041E)}, kAdapter},
        TIdentityCase{"OtherDevice",
                      {"VendorID", UInt16(0x9005)},
                      {"PciDeviceID", UInt16(0x0287)},
                      kNoAdapter},
        TIdentityCase{"OtherVendorWithoutDeviceId",
                      {"VendorID", UInt16(0x9004)},
                      {"Description", "RAID controller"},
                      kNoAdapter},
        TIdentityCase{"VendorMissing",
                      {"VendorID", EPropertyFault::Lookup, 15},
                      {"PciDeviceID", UInt16(0x0285)},
                      Thrice(kVendorMissing)},
        TIdentityCase{"VendorLookupFailsOtherwise",
                      {"VendorID", EPropertyFault::Lookup, 22},
                      {"PciDeviceID", UInt16(0x0285)},
                      Thrice(kVendorMissing)},
        TIdentityCase{"VendorNull",
                      {"VendorID", Null(NQELZARN20::eCIMTypeUInt16)},
                      {"PciDeviceID", UInt16(0x0285)},
                      kNoAdapter},
        TIdentityCase{"VendorUInt32",
                      {"VendorID", UInt32(0x9005)},
                      {"PciDeviceID", UInt16(0x0285)},
                      Thrice(kVendorNotUInt16)},
        TIdentityCase{"DeviceMissing",
                      {"VendorID", UInt16(0x9005)},
                      {"PciDeviceID", EPropertyFault::Lookup, 15},
                      Thrice(kDeviceMissing)},
        TIdentityCase{"DeviceNull",
                      {"VendorID", UInt16(0x9005)},
                      {"PciDeviceID", Null(NQELZARN20::eCIMTypeUInt16)},
                      kNoAdapter},
        TIdentityCase{"DeviceSInt32",
                      {"VendorID", UInt16(0x9005)},
                      {"PciDeviceID", SInt32(0x0285)},
                      Thrice(kDeviceNotUInt16)}),
    NTESTS::TCaseName());

TEST(AdapterIdentityCheck, ReadsTheDeviceIdOnlyAfterTheVendorMatches) {
  TInventoryBuilder inventory;
  AddPciDevice(inventory, 0x8086, 0x0285, "bridge");
  AddPciDevice(inventory, 0x9005, 0x0286, "raid");
  EXPECT_EQ(Reads(AnalyseManagement(inventory)),
            (std::vector<std::string>{"bridge.VendorID", "bridge.VendorID", "bridge.VendorID",
                                      "raid.VendorID", "raid.PciDeviceID", "raid.VendorID",
                                      "raid.PciDeviceID"}));
}

TEST(AdapterIdentityCheck, AFaultWhileTheValueIsTakenIsNotAMissingProperty) {
  TInventoryBuilder vendor;
  vendor.Add(kPciDeviceClass,
             {{"VendorID", EPropertyFault::Value, 15}, {"PciDeviceID", UInt16(0x0285)}});
  EXPECT_EQ(AnalyseManagement(vendor).lines, std::vector<TLine>{kSequenceEnded});

  TInventoryBuilder device;
  device.Add(kPciDeviceClass,
             {{"VendorID", UInt16(0x9005)}, {"PciDeviceID", EPropertyFault::Value, 31}});
  EXPECT_EQ(AnalyseManagement(device).exception, "TZARNException 31");
}

}  // namespace
