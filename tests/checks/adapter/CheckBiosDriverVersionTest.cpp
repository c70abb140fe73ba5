#include <algorithm>

#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "checks/adapter/AdapterInventory.h"
#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;

const char kController[] = "QELSG_txSCSIProtocolController";
const char kBios[] = "QELSG_txBiosVersion";

const TLine kFormat{3, "Bios or devicedriver not in comparable format"};

TLine Mismatch(const std::string& bios, const std::string& driver,
               const std::string& type = "Tarvex-4a", const std::string& number = "1") {
  return TLine{100, "Tarvex: Bios version: " + bios +
                        " Doesn't match with device driver version: " + driver +
                        " for controller number " + number + " controller type " + type};
}

// A controller as the version check sees it; the other adapter checks find
// nothing to report on it.
void AddController(TInventoryBuilder& inventory, const TCIMValue& type, const TCIMValue& number,
                   const TCIMValue& driver, const std::string& id = std::string()) {
  inventory.Add(kController,
                {{"ControllerType", type},
                 {"ControllerNum", number},
                 {"DeviceDriverVersion", driver},
                 {"PartOfCluster", Null()},
                 {"DataScrubbing", "Enabled"}},
                id);
}

std::ptrdiff_t DriverVersionReads(const TRunResult& result, const std::string& controller) {
  const std::vector<std::string> read = PropertiesRead(result, controller);
  return std::count(read.begin(), read.end(), "DeviceDriverVersion");
}

struct TVersionCase {
  const char* name;
  const char* bios;
  const char* driver;
  std::vector<TLine> lines;
  const char* type = "Tarvex-4a";
  friend std::ostream& operator<<(std::ostream& out, const TVersionCase& c) {
    return out << c.name;
  }
};

class BiosDriverVersion : public ::testing::TestWithParam<TVersionCase> {};

TEST_P(BiosDriverVersion, ComparesTheSignificantParts) {
  const TVersionCase& c = GetParam();
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, c.type, UInt32(1), c.driver);
  inventory.Add(kBios, {{"Name", "Tarvex1 BIOS"}, {"Version", c.bios}});
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiosDriverVersion,
    ::testing::Values(
        // Above major version 4: one minor digit counts.
        TVersionCase{"HighMajorSameFirstMinorDigit", "5.10", "5.1-7", {}},
        TVersionCase{"HighMajorOtherMinorDigit", "5.10", "5.20", {Mismatch("5.10", "5.20")}},
        TVersionCase{"HighMajorDriverShort", "5.1", "5.", {kFormat, Mismatch("5.1", "5.")}},
        TVersionCase{"NothingAfterTheDot", "5.", "5.", {kFormat}},
        // Up to 4: two minor characters, or a BIOS build after one digit.
        TVersionCase{"LowMajorLongerDriver", "4.10", "4.10.2", {}},
        TVersionCase{"SameBuildsDriverComparedWhole", "4.1-5", "4.1-5", {}},
        TVersionCase{
            "OtherBuildDriverComparedWhole", "4.1-5", "4.1-6", {Mismatch("4.1-5", "4.1-6")}},
        TVersionCase{"TwoDigitMinorsBuildsIgnored", "4.12-5", "4.12-7", {}},
        TVersionCase{"DriverBuildAfterTwoDigits", "4.1-5", "4.12-7", {Mismatch("4.1-5", "4.12-7")}},
        TVersionCase{"LowMajorDriverShort", "4.12", "4.1", {kFormat, Mismatch("4.12", "4.1")}},
        TVersionCase{
            "BiosBuildDriverWithoutRoomForOne", "4.1-5", "4.10", {Mismatch("4.1-5", "4.10")}},
        TVersionCase{"LowMajorShortEqual", "4.1", "4.1", {kFormat}},
        TVersionCase{"LowMajorShortDifferent", "4.1", "4.2", {kFormat, Mismatch("4.1", "4.2")}},
        // Pairs without a common layout are compared whole.
        TVersionCase{"MajorsDiffer", "6.1", "7.1", {Mismatch("6.1", "7.1")}},
        TVersionCase{"NoDot", "610", "611", {Mismatch("610", "611")}},
        TVersionCase{"DriverWithoutDot", "5.10", "5", {Mismatch("5.10", "5")}},
        TVersionCase{"MajorNotANumber", "A.1", "A.2", {kFormat, Mismatch("A.1", "A.2")}},
        TVersionCase{"MajorNotANumberEqual", "A.1", "A.1", {kFormat}},
        TVersionCase{"EmptyMajor", ".5", ".6", {kFormat, Mismatch(".5", ".6")}},
        TVersionCase{"MajorWithLeadingBlank", " 5.1", " 5.2", {kFormat, Mismatch(" 5.1", " 5.2")}},
        // A sign is read the way the conversion reads it: -1 wraps round.
        TVersionCase{"SignedMajor", "-1.1", "-1.2", {Mismatch("-1.1", "-1.2")}},
        TVersionCase{"MajorBeyondUnsigned",
                     "99999999999.1",
                     "99999999999.2",
                     {kFormat, Mismatch("99999999999.1", "99999999999.2")}},
        // The exempt model gets no report line; its format lines stay.
        TVersionCase{"ExemptModel", "5.10", "5.20", {}, "Tarvex-3q"},
        TVersionCase{"ExemptModelInALongerType", "4.1", "4.2", {kFormat}, "Tarvex-3q (rev 2)"},
        TVersionCase{"ExemptionIsCaseSensitive",
                     "5.10",
                     "5.20",
                     {Mismatch("5.10", "5.20", "tarvex-3q")},
                     "tarvex-3q"}),
    NTESTS::TCaseName());

TEST(BiosDriverVersionCheck, ComparesEveryBiosOfTheExactNameAndNoOther) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, "Tarvex-4c", UInt32(1), "5.20");
  AddController(inventory, "Tarvex-4a", UInt32(12), "6.0");
  inventory.Add(kBios, {{"Name", "Tarvex 1 BIOS"}, {"Version", "5.10"}})
      .Add(kBios, {{"Name", "tarvex1 bios"}, {"Version", "5.11"}})
      .Add(kBios, {{"Name", "Tarvex1 BIOS "}, {"Version", "5.12"}})
      .Add(kBios, {{"Name", "Tarvex1 BIOS"}, {"Version", "5.13"}})
      .Add(kBios, {{"Name", "Tarvex12 BIOS"}, {"Version", "6.1"}})
      .Add(kBios, {{"Name", "Tarvex1 BIOS"}, {"Version", "5.24"}})
      .Add(kBios, {{"Name", "Tarvex1 BIOS"}, {"Version", "5.15"}});
  EXPECT_EQ(Analyse(inventory).lines,
            (std::vector<TLine>{Mismatch("5.13", "5.20", "Tarvex-4c"),
                                Mismatch("5.15", "5.20", "Tarvex-4c"),
                                Mismatch("6.1", "6.0", "Tarvex-4a", "12")}));
}

TEST(BiosDriverVersionCheck, WalksTheBiosesAnewForEachCompleteController) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, Null(), UInt32(1), "5.20", "c0");
  AddController(inventory, "Tarvex-4a", Null(), "5.20", "c1");
  AddController(inventory, "Tarvex-4a", UInt32(3), Null(), "c2");
  AddController(inventory, "Tarvex-4a", UInt32(4), "5.20", "c3");
  AddController(inventory, "Tarvex-4a", UInt32(5), "5.20", "c4");
  inventory.Add(kBios, {{"Name", Null()}, {"Version", "5.1"}}, "b0")
      .Add(kBios, {{"Name", "Tarvex4 BIOS"}, {"Version", Null()}}, "b1")
      .Add(kBios, {{"Name", "Tarvex9 BIOS"}, {"Version", "5.1"}}, "b2");
  const TRunResult result = Analyse(inventory);
  EXPECT_TRUE(result.lines.empty());

  // Only c3 and c4 are complete.
  EXPECT_EQ(std::count(result.calls.begin(), result.calls.end(),
                       "EnumerateInstances QELSG_txBiosVersion =3"),
            2);
  EXPECT_EQ(PropertiesRead(result, "b0"), (std::vector<std::string>(2, "Name")));
  EXPECT_EQ(PropertiesRead(result, "b1"), (std::vector<std::string>{"Name", "Version", "Name"}));
  EXPECT_EQ(PropertiesRead(result, "b2"), (std::vector<std::string>(2, "Name")));
  // The driver version is asked for only when type and number are there.
  EXPECT_EQ(DriverVersionReads(result, "c0"), 0);
  EXPECT_EQ(DriverVersionReads(result, "c1"), 0);
  EXPECT_EQ(DriverVersionReads(result, "c2"), 1);
}

TEST(BiosDriverVersionCheck, AMissingBiosClassEndsThePassBeforeAnyControllerIsRead) {
  TInventoryBuilder inventory = QuietServerFailing(kBios, NZARNCORE::EClassFault::Lookup, 15);
  AddController(inventory, "Tarvex-4a", UInt32(1), "5.20", "c0");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(result.lines, (std::vector<TLine>{{0, "Tvxanal: Error getting class or property"}}));
  EXPECT_EQ(DriverVersionReads(result, "c0"), 0);
}

}  // namespace
