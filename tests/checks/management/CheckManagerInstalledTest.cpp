#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;

const char kPciDevice[] = "QELSG_PCIDevice";
const std::string kController =
    Instances("QELSG_txSCSIProtocolController",
              {R"("ControllerType": "Tarvex-4a", "ControllerNum": 1, "DataScrubbing": "Enabled",
        "PartOfCluster": "No", "DeviceDriverVersion": null)"});
const std::string kAdapter =
    Instances(kPciDevice, {R"("VendorID": {"uint16": 36869}, "PciDeviceID": {"uint16": 645})"});
const std::string kAlpha = Instances("QELSG_SystemServiceInfo", {R"("Name": "Alpha")"});

const TLine kNoAgent{100,
                     "Tarvex manager is installed, but with no agent. For Zarn to collect logs "
                     "from 4a, 4a-x, 4c, 4d, 3q, the agent needs to be installed"};

bool AskedForTheSystemType(const std::string& patch) {
  for (const NZARNCORE::THostCall& call : Analyze(patch).calls)
    if (call.kind == NZARNCORE::THostCall::GetOperatingSystemType) return true;
  return false;
}

TEST(ManagerInstalledCheck, LooksForTheSoftwareOnlyWhenAnAdapterIsSeen) {
  EXPECT_FALSE(AskedForTheSystemType(Patch({Instances(kPciDevice, {R"("VendorID": 1)"})})));
  EXPECT_TRUE(AskedForTheSystemType(Patch({kController})));
  EXPECT_TRUE(AskedForTheSystemType(Patch({kAdapter})));
}

// What a run found is left for the agent check of that run only: a check
// that ends early leaves its findings false, not as the run before left them.
TEST(ManagerInstalledCheck, EveryRunStartsFromNothingFound) {
  EXPECT_EQ(Analyze(Patch({kAdapter})).lines, std::vector<TLine>{kNoAgent});
  EXPECT_EQ(Analyze(Patch({kController, kAlpha, R"("QELSG_PCIDevice": {"$error": 15})"})).lines,
            (std::vector<TLine>{{0, "Unabled to get class QELSG_PCIDevice"}}));
  EXPECT_EQ(Analyze(Patch({kAdapter})).lines, std::vector<TLine>{kNoAgent});
  EXPECT_EQ(
      Analyze(Patch({kAdapter, kAlpha, R"("QELSG_InstalledApplication": {"$error": 15})"})).lines,
      (std::vector<TLine>{{3, "The tarvex manager system service is:Alpha"}}));
}

}  // namespace
