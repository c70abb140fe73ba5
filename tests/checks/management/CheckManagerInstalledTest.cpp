#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "ManagementInventory.h"

namespace {

using namespace NTESTS;

const std::vector<TLine> kAdvice{kAdviceLine, kAdviceText};
const TLine kProductNameMissing{3, "basic analysis: didn't find ProductName property"};

// Which of the three findings the check left shows in the rest of the pass:
// only a device with an adapter identity lets the agent check look at the
// services, and with the software installed and no services it says so.
struct TDecisionCase {
  const char* name;
  bool controller;
  bool adapterDevice;
  bool manager;
  std::vector<TLine> lines;
  bool systemTypeAsked;
  friend std::ostream& operator<<(std::ostream& out, const TDecisionCase& c) {
    return out << c.name;
  }
};

class ManagerDecision : public ::testing::TestWithParam<TDecisionCase> {};

TEST_P(ManagerDecision, AdvisesOnlyWhenAnAdapterLacksItsSoftware) {
  const TDecisionCase& c = GetParam();
  TInventoryBuilder inventory;
  if (c.controller) AddController(inventory);
  AddPciDevice(inventory, 0x8086, 0x2420);
  if (c.adapterDevice) AddPciDevice(inventory, 0x9005, 0x041E);
  if (c.manager) AddManager(inventory);
  const TRunResult result = AnalyseManagement(inventory);
  EXPECT_EQ(result.lines, c.lines);
  EXPECT_EQ(Called(result, "GetOperatingSystemType =18"), c.systemTypeAsked);
  EXPECT_EQ(Called(result, "GetClass QELSG_InstalledApplication"), c.systemTypeAsked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManagerDecision,
    ::testing::Values(TDecisionCase{"NoAdapter", false, false, false, {}, false},
                      TDecisionCase{"ControllerOnly", true, false, false, kAdvice, true},
                      TDecisionCase{"ControllerOnlyWithSoftware", true, false, true, {}, true},
                      TDecisionCase{"DeviceOnly", false, true, false, kAdvice, true},
                      TDecisionCase{"DeviceOnlyWithSoftware", false, true, true, {kNoAgent}, true},
                      TDecisionCase{"Both", true, true, false, kAdvice, true}),
    NTESTS::TCaseName());

// An adapter device and one installed product; with the software found the
// agent summary follows, without it the advice.
struct TSourceCase {
  const char* name;
  std::uint16_t systemType;
  // When not 0, the host cannot tell the operating system and fails so.
  NQELZARN20::TZARNStatusCode systemTypeFault;
  const char* productClass;
  TCIMValue productName;
  bool found;
  const char* classRead;
  friend std::ostream& operator<<(std::ostream& out, const TSourceCase& c) { return out << c.name; }
};

class SoftwareSource : public ::testing::TestWithParam<TSourceCase> {};

TEST_P(SoftwareSource, SearchesTheSourceOfTheOperatingSystem) {
  const TSourceCase& c = GetParam();
  TInventoryBuilder inventory;
  if (c.systemTypeFault == 0)
    inventory.OperatingSystemType(c.systemType);
  else
    inventory.OperatingSystemTypeFault(c.systemTypeFault);
  AddAdapter(inventory).Add(c.productClass, {{"ProductName", c.productName}});
  const TRunResult result = AnalyseManagement(inventory);
  EXPECT_EQ(result.lines, c.found ? std::vector<TLine>{kNoAgent} : kAdvice);
  EXPECT_TRUE(Called(result, std::string("GetClass ") + c.classRead));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoftwareSource,
    ::testing::Values(TSourceCase{"Capitals", 18, 0, kApplicationClass, "TARVEX MANAGER 7.1", true,
                                  kApplicationClass},
                      TSourceCase{"WordsJoined", 18, 0, kApplicationClass, "TarvexManager 7.1",
                                  false, kApplicationClass},
                      TSourceCase{"InsideTheName", 18, 0, kApplicationClass, "Qel Tarvex Manager",
                                  true, kApplicationClass},
                      TSourceCase{"Utf8Name", 18, 0, kApplicationClass,
                                  "Gestionnaire \xC2\xAB Tarvex Manager \xC2\xBB \xC3\x89"
                                  "dition 6",
                                  true, kApplicationClass},
                      TSourceCase{"RpmOn36", 36, 0, kRpmClass, "TvxMgr-Agent 9", true, kRpmClass},
                      TSourceCase{"RpmOn78", 78, 0, kRpmClass, "tvxmgr-6.40-1.x86_64", true,
                                  kRpmClass},
                      TSourceCase{"RpmOn81", 81, 0, kRpmClass, "TVXMGR", true, kRpmClass},
                      TSourceCase{"RpmNamesTheShortWordOnly", 36, 0, kRpmClass,
                                  "Tarvex Manager 6.40", false, kRpmClass},
                      TSourceCase{"ApplicationsIgnoredOnRpmSystems", 36, 0, kApplicationClass,
                                  "Tarvex Manager 6.40", false, kRpmClass},
                      TSourceCase{"RpmsIgnoredElsewhere", 37, 0, kRpmClass, "tvxmgr-6.40", false,
                                  kApplicationClass},
                      TSourceCase{"UnknownSystem", 0, 15, kApplicationClass, "Tarvex Manager", true,
                                  kApplicationClass},
                      TSourceCase{"SystemTypeFault", 0, 22, kApplicationClass, "Tarvex Manager",
                                  true, kApplicationClass}),
    NTESTS::TCaseName());

TEST(ManagerInstalledCheck, ANullProductNameIsSkipped) {
  TInventoryBuilder inventory;
  AddAdapter(inventory)
      .Add(kApplicationClass, {{"ProductName", Null()}})
      .Add(kApplicationClass, {{"ProductName", "Tarvex Manager 6.40"}});
  EXPECT_EQ(AnalyseManagement(inventory).lines, std::vector<TLine>{kNoAgent});
}

TEST(ManagerInstalledCheck, NoInstalledProductAtAllGivesTheAdvice) {
  TInventoryBuilder inventory;
  AddAdapter(inventory);
  EXPECT_EQ(AnalyseManagement(inventory).lines, kAdvice);
}

// A product without a name property ends the scan and the check: the software
// counts as missing, yet no advice is given.
TEST(ManagerInstalledCheck, AProductWithoutANameEndsTheCheck) {
  for (const NQELZARN20::TZARNStatusCode status : {15, 22}) {
    TInventoryBuilder inventory;
    AddAdapter(inventory)
        .Add(kApplicationClass,
             {{"Version", "1.0"}, {"ProductName", EPropertyFault::Lookup, status}}, "first")
        .Add(kApplicationClass, {{"ProductName", "Tarvex Manager 6.40"}}, "second");
    const TRunResult result = AnalyseManagement(inventory);
    EXPECT_EQ(result.lines, std::vector<TLine>{kProductNameMissing}) << status;
    EXPECT_FALSE(Called(result, "GetProperty second.ProductName")) << status;
    // The agent check still runs, but with the software counted missing it
    // gives no summary.
    EXPECT_TRUE(Called(result, "GetClass QELSG_SystemServiceInfo")) << status;
  }
}

TEST(ManagerInstalledCheck, AFaultWhileTheProductNameIsTakenEndsThePass) {
  TInventoryBuilder inventory;
  AddAdapter(inventory).Add(kApplicationClass, {{"ProductName", EPropertyFault::Value, 15}});
  EXPECT_EQ(AnalyseManagement(inventory).lines, std::vector<TLine>{kSequenceEnded});
}

// A class the host cannot deliver ends the check with the findings so far; a
// status other than 15 goes on to the host.
struct TClassFaultCase {
  const char* name;
  const char* faultyClass;
  NQELZARN20::TZARNStatusCode status;
  std::vector<TLine> lines;
  std::string exception;
  // What the agent check, later in the pass, shows of the findings left.
  bool servicesRead;
  friend std::ostream& operator<<(std::ostream& out, const TClassFaultCase& c) {
    return out << c.name;
  }
};

const TLine kControllerClassMissing{0, "Unabled to get class QELSG_txSCSIProtocolController"};
const TLine kPciClassMissing{0, "Unabled to get class QELSG_PCIDevice"};

class ManagerClassFault : public ::testing::TestWithParam<TClassFaultCase> {};

TEST_P(ManagerClassFault, EndsTheCheckWithTheFindingsSoFar) {
  const TClassFaultCase& c = GetParam();
  TInventoryBuilder inventory;
  inventory.ClassFault(c.faultyClass, EClassFault::Lookup, c.status);
  AddController(inventory);
  AddAdapter(inventory);
  const TRunResult result = AnalyseManagement(inventory);
  EXPECT_EQ(result.lines, c.lines);
  EXPECT_EQ(result.exception, c.exception);
  EXPECT_EQ(Called(result, "GetClass QELSG_SystemServiceInfo"), c.servicesRead);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManagerClassFault,
    ::testing::Values(
        // The scrubbing check then ends the pass at the same missing class.
        TClassFaultCase{"ControllersMissing",
                        kControllerClass,
                        15,
                        {kControllerClassMissing, kSequenceEnded},
                        "",
                        false},
        TClassFaultCase{"ControllersFailOtherwise",
                        kControllerClass,
                        22,
                        {kControllerClassMissing},
                        "TZARNException 22",
                        false},
        TClassFaultCase{"PciDevicesMissing", kPciDeviceClass, 15, {kPciClassMissing}, "", false},
        TClassFaultCase{"PciDevicesFailOtherwise",
                        kPciDeviceClass,
                        22,
                        {kPciClassMissing},
                        "TZARNException 22",
                        false},
        TClassFaultCase{"ApplicationsMissing", kApplicationClass, 15, {}, "", true},
        TClassFaultCase{
            "ApplicationsFailOtherwise", kApplicationClass, 22, {}, "TZARNException 22", false}),
    NTESTS::TCaseName());

TEST(ManagerInstalledCheck, StopsAtTheFirstAdapterDevice) {
  TInventoryBuilder inventory;
  AddPciDevice(inventory, 0x9005, 0x0286, "first");
  inventory.Add(kPciDeviceClass, {{"VendorID", EPropertyFault::Lookup, 15}}, "second");
  AddManager(inventory);
  const TRunResult result = AnalyseManagement(inventory);
  EXPECT_EQ(result.lines, std::vector<TLine>{kNoAgent});
  EXPECT_EQ(Reads(result), (std::vector<std::string>{"first.VendorID", "first.PciDeviceID",
                                                     "first.VendorID", "first.PciDeviceID",
                                                     "QELSG_InstalledApplication[0].ProductName"}));
}

TEST(ManagerInstalledCheck, LooksAtThePciDevicesEvenWithAController) {
  TInventoryBuilder inventory;
  AddController(inventory);
  AddPciDevice(inventory, 0x8086, 0x2420, "bridge");
  AddManager(inventory);
  EXPECT_EQ(Reads(AnalyseManagement(inventory)).front(), "bridge.VendorID");
}

// Each test runs in a process of its own, so the first analysis here is the
// first of the plug-in's lifetime.
TEST(ManagerInstalledCheck, GivesTheAdviceOncePerProcess) {
  TInventoryBuilder bare;
  AddAdapter(bare);
  EXPECT_EQ(AnalyseManagement(bare).lines, kAdvice);
  // A later run still looks, and leaves what it finds for the agent check.
  TInventoryBuilder again;
  AddAdapter(again).Add(kServiceClass, {{"Name", "Spooler"}});
  EXPECT_EQ(AnalyseManagement(again).lines, std::vector<TLine>{ServiceLine("Spooler")});
}

TEST(ManagerInstalledCheck, TheClassTwiceInOneRunAdvisesOnce) {
  TInventoryBuilder inventory;
  AddController(inventory);
  EXPECT_EQ(AnalyseManagement(inventory, {kAnalysisClass, kAnalysisClass}).lines, kAdvice);
}

TEST(ManagerInstalledCheck, EveryRunStartsAfresh) {
  TInventoryBuilder withSoftware;
  AddManager(AddAdapter(withSoftware));
  EXPECT_EQ(AnalyseManagement(withSoftware).lines, std::vector<TLine>{kNoAgent});
  // The adapter and the software found before count no more.
  const TRunResult bare = AnalyseManagement(TInventoryBuilder());
  EXPECT_EQ(bare.lines, std::vector<TLine>{});
  EXPECT_FALSE(Called(bare, "GetClass QELSG_SystemServiceInfo"));
}

}  // namespace
