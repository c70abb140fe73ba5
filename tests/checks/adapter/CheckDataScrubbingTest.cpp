#include <gtest/gtest.h>

#include <algorithm>

#include "support/CaseName.h"

#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;
using NZARNCORE::EPropertyFault;

const char kController[] = "QELSG_txSCSIProtocolController";

// A controller as the scrubbing check sees it; the other adapter checks find
// nothing to read on it.
void AddController(TInventoryBuilder& inventory, const TCIMValue& type, const TCIMValue& number,
                   const TTestProperty& scrubbing, const std::string& id = std::string()) {
  inventory.Add(kController,
                {{"ControllerType", type},
                 {"ControllerNum", number},
                 scrubbing,
                 {"PartOfCluster", Null()},
                 {"DeviceDriverVersion", Null()}},
                id);
}

std::string Line(const std::string& number, const std::string& type) {
  return "Tarvex: Data scrubbing for controller number " + number + " controller type " + type +
         " is disabled";
}

struct TScrubbingCase {
  const char* name;
  TCIMValue type;
  TCIMValue number;
  TCIMValue scrubbing;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TScrubbingCase& c) {
    return out << c.name;
  }
};

class DataScrubbing : public ::testing::TestWithParam<TScrubbingCase> {};

TEST_P(DataScrubbing, ReportsAControllerWithScrubbingOff) {
  const TScrubbingCase& c = GetParam();
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, c.type, c.number, {"DataScrubbing", c.scrubbing});
  EXPECT_EQ(Analyse(inventory).lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataScrubbing,
    ::testing::Values(
        TScrubbingCase{
            "Disabled", "Tarvex-3q", UInt32(1), "Disabled", {{100, Line("1", "Tarvex-3q")}}},
        TScrubbingCase{"No", "Tarvex-4a", UInt32(2), "No", {{100, Line("2", "Tarvex-4a")}}},
        TScrubbingCase{"Enabled", "Tarvex-4a", UInt32(2), "Enabled", {}},
        TScrubbingCase{"LowerCase", "Tarvex-4a", UInt32(2), "disabled", {}},
        TScrubbingCase{"TrailingBlank", "Tarvex-4a", UInt32(2), "No ", {}},
        TScrubbingCase{"LeadingBlanks", "Tarvex-4a", UInt32(2), "  Disabled", {}},
        TScrubbingCase{"Empty", "Tarvex-4a", UInt32(2), "", {}},
        TScrubbingCase{"NullScrubbing", "Tarvex-4a", UInt32(2), Null(), {}},
        TScrubbingCase{"NullNumber", "Tarvex-4a", Null(NQELZARN20::eCIMTypeUInt32), "Disabled", {}},
        TScrubbingCase{"NullType", Null(), UInt32(2), "Disabled", {}},
        TScrubbingCase{
            "TextsKeptAsGiven", " Tarvex 4a ", " 07", "No", {{100, Line(" 07", " Tarvex 4a ")}}}),
    NTESTS::TCaseName());

TEST(DataScrubbingCheck, ReportsControllersInDeliveryOrderAndSkipsOnlyTheIncompleteOne) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, "Tarvex-4c", UInt32(3), {"DataScrubbing", "No"});
  AddController(inventory, Null(), UInt32(4), {"DataScrubbing", "Disabled"});
  AddController(inventory, "Tarvex-4a", UInt32(1), {"DataScrubbing", "Disabled"});
  EXPECT_EQ(Analyse(inventory).lines,
            (std::vector<TLine>{{100, Line("3", "Tarvex-4c")}, {100, Line("1", "Tarvex-4a")}}));
}

TEST(DataScrubbingCheck, ANullValueStopsTheReadsOfThatController) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, Null(), UInt32(1), {"DataScrubbing", "No"}, "c0");
  AddController(inventory, "T", Null(), {"DataScrubbing", "No"}, "c1");
  // This check is the last of the pass to look the controllers up.
  const std::vector<std::string> calls = Analyse(inventory).calls;
  const auto lookup =
      std::find(calls.rbegin(), calls.rend(), std::string("GetClass ") + kController).base();
  const auto next = std::find_if(
      lookup, calls.end(), [](const std::string& call) { return call.rfind("GetClass ", 0) == 0; });
  EXPECT_EQ(std::vector<std::string>(lookup, next),
            (std::vector<std::string>{
                "EnumerateInstances QELSG_txSCSIProtocolController =2",
                "GetProperty c0.ControllerType",
                "GetProperty c1.ControllerType",
                "GetProperty c1.ControllerNum",
            }));
}

TEST(DataScrubbingCheck, AMissingPropertyEndsThePassAtTheDispatcher) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, "Tarvex-4a", UInt32(1), {"DataScrubbing", "No"});
  inventory.Add(kController, {{"ControllerType", "Tarvex-4a"},
                              {"ControllerNum", UInt32(2)},
                              {"PartOfCluster", Null()},
                              {"DeviceDriverVersion", Null()}});
  AddController(inventory, "Tarvex-4a", UInt32(3), {"DataScrubbing", "No"});
  EXPECT_EQ(Analyse(inventory).lines,
            (std::vector<TLine>{{100, Line("1", "Tarvex-4a")},
                                {0, "Tvxanal: Error getting class or property"}}));
}

TEST(DataScrubbingCheck, AFaultWhileTheValueIsTakenReachesTheHost) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, "Tarvex-4a", UInt32(1), {"DataScrubbing", EPropertyFault::Value, 31});
  EXPECT_EQ(Analyse(inventory).exception, "TZARNException 31");
}

}  // namespace
