// The identity of a PCI device in its hardware ID or instance ID, as
// Windows writes them and as they come malformed.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "collectors/windows/HardwareId.h"
#include "support/CaseName.h"

namespace NZARNTEST {
namespace {

using NTESTS::operator<<;

struct THardwareIdCase {
  std::string name;
  std::string id;
  std::string identity;  // "vendor:device sub vendor:device", "-" for none
};

std::string Hex(const std::optional<std::uint16_t>& id) {
  if (!id) return "-";
  char text[8];
  std::snprintf(text, sizeof text, "%04X", *id);
  return text;
}

std::string Shown(const std::optional<NZARNCOLLECT::TPciIdentity>& identity) {
  if (!identity) return "no PCI ID";
  return Hex(identity->vendor) + ":" + Hex(identity->device) + " sub " + Hex(identity->subVendor) +
         ":" + Hex(identity->subDevice);
}

class HardwareId : public testing::TestWithParam<THardwareIdCase> {};

TEST_P(HardwareId, GivesTheDevicesIdentity) {
  EXPECT_EQ(Shown(NZARNCOLLECT::ParsePciHardwareId(GetParam().id)), GetParam().identity);
}

INSTANTIATE_TEST_SUITE_P(
    Pci, HardwareId,
    testing::Values(
        THardwareIdCase{"InstanceId",
                        R"(PCI\VEN_9005&DEV_0285&SUBSYS_02869005&REV_01\4&1F7DBC9F&0&0010)",
                        "9005:0285 sub 9005:0286"},
        THardwareIdCase{"HardwareId", R"(PCI\VEN_8086&DEV_2922&SUBSYS_020D1028&REV_02)",
                        "8086:2922 sub 1028:020D"},
        THardwareIdCase{"LowerCase",
                        R"(pci\ven_10de&dev_1eb8&subsys_12a210de&rev_a1\4&2c1c1cd&0&0008)",
                        "10DE:1EB8 sub 10DE:12A2"},
        THardwareIdCase{"NoSubsystem", R"(PCI\VEN_9005&DEV_041E&REV_01)", "9005:041E sub -:-"},
        THardwareIdCase{"ZeroSubsystem",
                        R"(PCI\VEN_1AF4&DEV_1000&SUBSYS_00000000&REV_00\3&13C0B0C5&0&18)",
                        "1AF4:1000 sub 0000:0000"},
        THardwareIdCase{"ClassCodeOnly", R"(PCI\CC_010400)", "-:- sub -:-"},
        THardwareIdCase{"VendorNotHex", R"(PCI\VEN_90G5&DEV_0285)", "-:0285 sub -:-"},
        THardwareIdCase{"VendorTooLong", R"(PCI\VEN_90050&DEV_0285)", "-:0285 sub -:-"},
        THardwareIdCase{"DeviceSigned", R"(PCI\VEN_9005&DEV_-285)", "9005:- sub -:-"},
        THardwareIdCase{"EmptyFields", R"(PCI\VEN_&DEV_&SUBSYS_)", "-:- sub -:-"},
        THardwareIdCase{"SubsystemTooShort", R"(PCI\VEN_9005&DEV_0285&SUBSYS_0286900)",
                        "9005:0285 sub -:-"},
        THardwareIdCase{"SubsystemHalfBad", R"(PCI\VEN_9005&DEV_0285&SUBSYS_0286900X)",
                        "9005:0285 sub -:0286"},
        THardwareIdCase{"FieldsAfterTheIdDoNotCount", R"(PCI\VEN_9005\DEV_0285)", "9005:- sub -:-"},
        THardwareIdCase{"Usb", R"(USB\VID_0781&PID_5581\4C530001)", "no PCI ID"},
        THardwareIdCase{"BusWithoutBackslash", "PCI", "no PCI ID"},
        THardwareIdCase{"Empty", "", "no PCI ID"}),
    NTESTS::TCaseName());

}  // namespace
}  // namespace NZARNTEST
