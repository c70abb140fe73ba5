#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "checks/adapter/AdapterInventory.h"
#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;

const char kBadStripes[] = "QELSG_BadStripeData";

std::string Line(const std::string& drive, const std::string& controller,
                 const std::string& count) {
  return "Tarvex: Logical drive " + drive + " on controller " + controller + " has " + count +
         " bad stripes";
}

struct TBadStripeCase {
  const char* name;
  TCIMValue controller;
  TCIMValue drive;
  TCIMValue count;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TBadStripeCase& c) {
    return out << c.name;
  }
};

class BadStripes : public ::testing::TestWithParam<TBadStripeCase> {};

TEST_P(BadStripes, ReportsADriveWithBadStripes) {
  const TBadStripeCase& c = GetParam();
  TInventoryBuilder inventory = QuietServer();
  inventory.Add(
      kBadStripes,
      {{"ControllerNum", c.controller}, {"LogicalDrive", c.drive}, {"NumBadStripes", c.count}});
  EXPECT_EQ(Analyse(inventory).lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadStripes,
    ::testing::Values(
        TBadStripeCase{"Twelve", UInt32(1), UInt32(0), UInt32(12), {{100, Line("0", "1", "12")}}},
        TBadStripeCase{
            "OneStillPlural", UInt32(1), UInt32(0), UInt32(1), {{100, Line("0", "1", "1")}}},
        TBadStripeCase{"Zero", UInt32(1), UInt32(0), UInt32(0), {}},
        TBadStripeCase{"Negative", UInt32(1), UInt32(0), SInt32(-3), {}},
        TBadStripeCase{"NoDigits", UInt32(1), UInt32(0), "some", {}},
        TBadStripeCase{
            "DigitsThenLetters", UInt32(1), UInt32(0), "12abc", {{100, Line("0", "1", "12abc")}}},
        TBadStripeCase{
            "LeadingBlankKept", UInt32(1), UInt32(0), " 5", {{100, Line("0", "1", " 5")}}},
        TBadStripeCase{"BeyondTheSignedRange",
                       UInt32(1),
                       UInt32(0),
                       "99999999999",
                       {{100, Line("0", "1", "99999999999")}}},
        TBadStripeCase{"FarBelowTheSignedRange", UInt32(1), UInt32(0), "-99999999999", {}},
        TBadStripeCase{"EveryLeadingBlank",
                       UInt32(1),
                       UInt32(0),
                       "\t\n\v\f\r 7",
                       {{100, Line("0", "1", "\t\n\v\f\r 7")}}},
        TBadStripeCase{"PlusSign", UInt32(1), UInt32(0), "+7", {{100, Line("0", "1", "+7")}}},
        TBadStripeCase{
            "DigitsThenBlank", UInt32(1), UInt32(0), "7 ", {{100, Line("0", "1", "7 ")}}},
        TBadStripeCase{"SignOnly", UInt32(1), UInt32(0), "-", {}},
        TBadStripeCase{"BlanksOnly", UInt32(1), UInt32(0), " \t ", {}},
        TBadStripeCase{"EmptyText", UInt32(1), UInt32(0), "", {}},
        TBadStripeCase{"TextsAsGiven", " 2", "LD 7", "3", {{100, Line("LD 7", " 2", "3")}}},
        TBadStripeCase{"NullController", Null(), UInt32(0), UInt32(12), {}},
        TBadStripeCase{"NullDrive", UInt32(1), Null(), UInt32(12), {}},
        TBadStripeCase{"NullCount", UInt32(1), UInt32(0), Null(), {}}),
    NTESTS::TCaseName());

TEST(BadStripeCheck, ANullValueEndsTheReadsOfItsRecordOnly) {
  TInventoryBuilder inventory = QuietServer();
  inventory
      .Add(kBadStripes,
           {{"ControllerNum", Null()}, {"LogicalDrive", UInt32(0)}, {"NumBadStripes", UInt32(4)}},
           "r0")
      .Add(kBadStripes,
           {{"ControllerNum", UInt32(1)}, {"LogicalDrive", Null()}, {"NumBadStripes", UInt32(4)}},
           "r1")
      .Add(
          kBadStripes,
          {{"ControllerNum", UInt32(1)}, {"LogicalDrive", UInt32(2)}, {"NumBadStripes", UInt32(4)}},
          "r2")
      .Add(
          kBadStripes,
          {{"ControllerNum", UInt32(2)}, {"LogicalDrive", UInt32(0)}, {"NumBadStripes", UInt32(9)}},
          "r3");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(PropertiesRead(result, "r0"), std::vector<std::string>{"ControllerNum"});
  EXPECT_EQ(PropertiesRead(result, "r1"),
            (std::vector<std::string>{"ControllerNum", "LogicalDrive"}));
  EXPECT_EQ(PropertiesRead(result, "r2"),
            (std::vector<std::string>{"ControllerNum", "LogicalDrive", "NumBadStripes"}));
  EXPECT_EQ(result.lines,
            (std::vector<TLine>{{100, Line("2", "1", "4")}, {100, Line("0", "2", "9")}}));
}

TEST(BadStripeCheck, AMissingPropertyEndsThePassAtTheDispatcher) {
  TInventoryBuilder inventory = QuietServer();
  inventory
      .Add(
          kBadStripes,
          {{"ControllerNum", UInt32(1)}, {"LogicalDrive", UInt32(0)}, {"NumBadStripes", UInt32(4)}})
      .Add(kBadStripes, {{"ControllerNum", UInt32(1)}, {"LogicalDrive", UInt32(1)}})
      .Add(kBadStripes, {{"ControllerNum", UInt32(1)},
                         {"LogicalDrive", UInt32(2)},
                         {"NumBadStripes", UInt32(4)}});
  EXPECT_EQ(Analyse(inventory).lines,
            (std::vector<TLine>{{100, Line("0", "1", "4")},
                                {0, "Tvxanal: Error getting class or property"}}));
}

}  // namespace
