#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "ManagementInventory.h"

namespace {

using namespace NTESTS;

const TLine kNameMissing{3, "tvx analysis: didn't find Name property"};
const TLine kNameNull{3, "tvx analysis: nameValue is null"};
const TLine kNameNotText{3, "tvx analysis: Name wasn't a string"};

// An adapter device, and the management software installed or not; without
// it the software check ends quietly at a missing class, so only the agent
// check writes.
TInventoryBuilder AdapterInventory(bool manager) {
  TInventoryBuilder inventory;
  AddAdapter(inventory);
  if (manager)
    AddManager(inventory);
  else
    inventory.ClassFault(kApplicationClass, EClassFault::Lookup, 15);
  return inventory;
}

struct TAgentCase {
  const char* name;
  bool manager;
  std::vector<const char*> services;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TAgentCase& c) { return out << c.name; }
};

class ManagerAgent : public ::testing::TestWithParam<TAgentCase> {};

TEST_P(ManagerAgent, ListsTheServicesUpToTheAgent) {
  const TAgentCase& c = GetParam();
  TInventoryBuilder inventory = AdapterInventory(c.manager);
  for (const char* service : c.services) inventory.Add(kServiceClass, {{"Name", service}});
  EXPECT_EQ(AnalyseManagement(inventory).lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManagerAgent,
    ::testing::Values(
        TAgentCase{"AgentSecond",
                   true,
                   {"Alpha", "TarvexManagerAgent", "Beta"},
                   {ServiceLine("Alpha"), ServiceLine("TarvexManagerAgent"), kAgentFound}},
        TAgentCase{"AgentSecondWithoutSoftware",
                   false,
                   {"Alpha", "TarvexManagerAgent", "Beta"},
                   {ServiceLine("Alpha"), ServiceLine("TarvexManagerAgent"), kAgentFound}},
        TAgentCase{"NoAgent",
                   true,
                   {"Alpha", "Beta"},
                   {ServiceLine("Alpha"), ServiceLine("Beta"), kNoAgent}},
        TAgentCase{"NoAgentWithoutSoftware",
                   false,
                   {"Alpha", "Beta"},
                   {ServiceLine("Alpha"), ServiceLine("Beta")}},
        TAgentCase{"NoServices", true, {}, {kNoAgent}},
        TAgentCase{"AgentWithSuffix",
                   true,
                   {"tarvexmanageragent-old"},
                   {ServiceLine("tarvexmanageragent-old"), kAgentFound}},
        TAgentCase{"WordsApart",
                   true,
                   {"Tarvex Manager Agent"},
                   {ServiceLine("Tarvex Manager Agent"), kNoAgent}},
        TAgentCase{"Utf8NameKeptInTheLine",
                   true,
                   {"Agent \xC2\xAB"
                    "TARVEXMANAGERAGENT\xC2\xBB"},
                   {ServiceLine("Agent \xC2\xAB"
                                "TARVEXMANAGERAGENT\xC2\xBB"),
                    kAgentFound}}),
    NTESTS::TCaseName());

TEST(ManagerAgentCheck, StopsReadingAtTheAgent) {
  TInventoryBuilder inventory = AdapterInventory(true);
  inventory.Add(kServiceClass, {{"Name", "TarvexManagerAgent"}}, "agent")
      .Add(kServiceClass, {{"Name", "Beta"}}, "beta");
  const std::vector<std::string> reads = Reads(AnalyseManagement(inventory));
  EXPECT_EQ(reads.back(), "agent.Name");
}

// An adapter seen only as a controller is not enough to look for the agent.
TEST(ManagerAgentCheck, NeedsAnAdapterDevice) {
  TInventoryBuilder inventory;
  AddController(inventory);
  AddManager(inventory).Add(kServiceClass, {{"Name", "Alpha"}});
  const TRunResult result = AnalyseManagement(inventory);
  EXPECT_EQ(result.lines, std::vector<TLine>{});
  EXPECT_FALSE(Called(result, "GetClass QELSG_SystemServiceInfo"));
}

// The faults of one service's name; the agent listed after it is still found.
struct TNameCase {
  const char* name;
  TTestProperty property;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TNameCase& c) { return out << c.name; }
};

class ServiceName : public ::testing::TestWithParam<TNameCase> {};

TEST_P(ServiceName, ReportsTheFaultAndGoesOn) {
  const TNameCase& c = GetParam();
  TInventoryBuilder inventory = AdapterInventory(true);
  inventory.Add(kServiceClass, {c.property}).Add(kServiceClass, {{"Name", "TarvexManagerAgent"}});
  std::vector<TLine> expected = c.lines;
  expected.insert(expected.end(), {ServiceLine("TarvexManagerAgent"), kAgentFound});
  EXPECT_EQ(AnalyseManagement(inventory).lines, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceName,
    ::testing::Values(
        TNameCase{"Missing", {"Name", EPropertyFault::Lookup, 15}, {kNameMissing}},
        TNameCase{"LookupFailsOtherwise", {"Name", EPropertyFault::Lookup, 22}, {kNameMissing}},
        TNameCase{"NullText", {"Name", Null()}, {kNameNull, ServiceLine("")}},
        TNameCase{"UntypedNull",
                  {"Name", Null(NQELZARN20::eCIMTypeNull)},
                  {kNameNull, kNameNotText, ServiceLine("")}},
        TNameCase{"Number", {"Name", UInt32(7)}, {kNameNotText, ServiceLine("7")}}),
    NTESTS::TCaseName());

TEST(ManagerAgentCheck, ANameOfAnotherTypeIsStillSearched) {
  TInventoryBuilder inventory = AdapterInventory(false);
  inventory.Add(kServiceClass,
                {{"Name", TCIMValue::Text(NQELZARN20::eCIMTypeChar16, "TarvexManagerAgent")}});
  EXPECT_EQ(AnalyseManagement(inventory).lines,
            (std::vector<TLine>{kNameNotText, ServiceLine("TarvexManagerAgent"), kAgentFound}));
}

TEST(ManagerAgentCheck, AFaultWhileTheNameIsTakenEndsThePass) {
  TInventoryBuilder inventory = AdapterInventory(true);
  inventory.Add(kServiceClass, {{"Name", "Alpha"}})
      .Add(kServiceClass, {{"Name", EPropertyFault::Value, 15}});
  EXPECT_EQ(AnalyseManagement(inventory).lines,
            (std::vector<TLine>{ServiceLine("Alpha"), kSequenceEnded}));
}

const TLine kServiceClassMissing{0, "Tvxanal: Unabled to get class QELSG_SystemServiceInfo"};

TEST(ManagerAgentCheck, AMissingServiceClassEndsTheCheckWithoutSummary) {
  TInventoryBuilder inventory = AdapterInventory(true);
  inventory.ClassFault(kServiceClass, EClassFault::Lookup, 15);
  const TRunResult result = AnalyseManagement(inventory);
  EXPECT_EQ(result.lines, std::vector<TLine>{kServiceClassMissing});
  EXPECT_EQ(result.exception, "");
}

TEST(ManagerAgentCheck, OtherServiceClassFaultsReachTheHost) {
  TInventoryBuilder inventory = AdapterInventory(true);
  inventory.ClassFault(kServiceClass, EClassFault::Lookup, 22);
  const TRunResult result = AnalyseManagement(inventory);
  EXPECT_EQ(result.lines, std::vector<TLine>{kServiceClassMissing});
  EXPECT_EQ(result.exception, "TZARNException 22");
}

TEST(ManagerAgentCheck, AFaultWhileTheServicesAreListedEndsThePass) {
  TInventoryBuilder inventory = AdapterInventory(true);
  inventory.ClassFault(kServiceClass, EClassFault::Enumerate, 15);
  EXPECT_EQ(AnalyseManagement(inventory).lines, std::vector<TLine>{kSequenceEnded});
}

}  // namespace
