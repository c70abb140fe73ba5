#include <gtest/gtest.h>

#include <algorithm>

#include "support/CaseName.h"

#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;
using NZARNCORE::EClassFault;
using NZARNCORE::EPropertyFault;

const char kController[] = "QELSG_txSCSIProtocolController";
const TLine kSequenceEnded{0, "Tvxanal: Error getting class or property"};

// One controller with scrubbing off: every pass of the checks reports it.
TInventoryBuilder OneFinding() {
  TInventoryBuilder inventory = QuietServer();
  inventory.Add(kController, {{"ControllerType", "Tarvex-4a"},
                              {"ControllerNum", UInt32(1)},
                              {"DataScrubbing", "No"},
                              {"PartOfCluster", "No"},
                              {"DeviceDriverVersion", Null()}});
  return inventory;
}
const TLine kFinding{
    100, "Tarvex: Data scrubbing for controller number 1 controller type Tarvex-4a is disabled"};

struct TClassListCase {
  const char* name;
  std::vector<std::string> classes;
  std::size_t passes;
  friend std::ostream& operator<<(std::ostream& out, const TClassListCase& c) {
    return out << c.name;
  }
};

class RunAnalysisClassList : public ::testing::TestWithParam<TClassListCase> {};

TEST_P(RunAnalysisClassList, RunsTheChecksOncePerExactMatch) {
  const TRunResult result = Analyse(OneFinding(), GetParam().classes);
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.lines, std::vector<TLine>(GetParam().passes, kFinding));
  // Every class of the list is asked for its name, matching or not.
  std::vector<std::string> names;
  for (const std::string& call : result.calls)
    if (call.rfind("GetName ", 0) == 0) names.push_back(call.substr(8));
  EXPECT_EQ(names, GetParam().classes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunAnalysisClassList,
    ::testing::Values(
        TClassListCase{"Empty", {}, 0}, TClassListCase{"Exact", {kAnalysisClass}, 1},
        TClassListCase{"OtherClasses", {"QELSG_OtherAnalysis", "QELSG_txDiskDrive"}, 0},
        TClassListCase{"OtherCase", {"qelsg_tvxheavyhittersanalysis"}, 0},
        TClassListCase{"SurroundingBlanks",
                       {" QELSG_TVXHeavyHittersAnalysis", "QELSG_TVXHeavyHittersAnalysis "},
                       0},
        TClassListCase{"Prefix", {"QELSG_TVXHeavyHitters"}, 0},
        TClassListCase{"Twice", {kAnalysisClass, "QELSG_Other", kAnalysisClass}, 2}),
    NTESTS::TCaseName());

// A controller without the scrubbing property: the scrubbing check lets the
// host's status 15 through.
TInventoryBuilder IncompleteController() {
  TInventoryBuilder inventory;
  inventory.Class("QELSG_PCIDevice")
      .Add(kController, {{"ControllerType", "Tarvex-4a"}, {"ControllerNum", UInt32(1)}});
  return inventory;
}

TEST(RunAnalysis, StatusFifteenEndsThePassWithOneLineAndTheNextMatchRunsAgain) {
  const TRunResult result = Analyse(IncompleteController(), {kAnalysisClass, kAnalysisClass});
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.lines, std::vector<TLine>(2, kSequenceEnded));
}

TEST(RunAnalysis, OtherStatusCodesReachTheHostAndEndTheWalk) {
  TInventoryBuilder inventory = QuietServer();
  inventory.Add(kController,
                {{"PartOfCluster", Null()}, {"ControllerType", EPropertyFault::Lookup, 22}}, "c0");
  const TRunResult result = Analyse(inventory, {kAnalysisClass, kAnalysisClass});
  EXPECT_EQ(result.exception, "TZARNException 22");
  EXPECT_TRUE(result.lines.empty());
  // The second class of the list is never asked for its name.
  EXPECT_EQ(
      std::count(result.calls.begin(), result.calls.end(), "GetName QELSG_TVXHeavyHittersAnalysis"),
      1);
  EXPECT_EQ(result.calls.back(), "GetProperty c0.ControllerType !22");
}

TEST(RunAnalysis, StatusFifteenFromTheEnumerationIsHandledLikeAMissingClass) {
  TInventoryBuilder inventory;
  inventory.Class("QELSG_txDiskDrive");
  inventory.ClassFault(kController, EClassFault::Enumerate, 15);
  EXPECT_EQ(Analyse(inventory).lines, std::vector<TLine>{kSequenceEnded});
}

TEST(RunAnalysis, ANullClassInTheListReachesTheHostAsAForeignException) {
  const TRunResult result = Analyse(OneFinding(), {kAnalysisClass, kNullClass, kAnalysisClass});
  EXPECT_NE(result.exception.find("assertion failed: px != 0"), std::string::npos)
      << result.exception;
  EXPECT_EQ(result.lines, std::vector<TLine>{kFinding});
}

TEST(RunAnalysis, FindingsOfEveryRunStartWithThePrefix) {
  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(Analyse(OneFinding()).lines, std::vector<TLine>{kFinding});
}

}  // namespace
