#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "checks/adapter/AdapterInventory.h"
#include "support/AnalysisHarness.h"

namespace {

using namespace NTESTS;
using NZARNCORE::EClassFault;

const char kEventLog[] = "QELSG_WindowsSystemEventLogRecord";
const char kController[] = "QELSG_txSCSIProtocolController";

const TLine kCheckEnded{3, "Tvxanal: Error getting class or property"};
const TLine kScrubbingOff{
    100, "Tarvex: Data scrubbing for controller number 1 controller type Tarvex-4a is disabled"};

TLine Line(const std::string& eventId, const std::string& driverFile, const std::string& message) {
  return TLine{100, "Tarvex: Found in system event log a message with event id " + eventId +
                        " associated with " + driverFile + ", the message reads " + message};
}

const std::string kQvtMessage = "The device \\Device\\Scsi\\qvtmpdrv.sys1 did not respond.";
const std::string kZelkMessage = "zelk412.sys: adapter reset.";

struct TEventCase {
  const char* name;
  TCIMValue eventId;
  TCIMValue message;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TEventCase& c) { return out << c.name; }
};

class EventLog : public ::testing::TestWithParam<TEventCase> {};

TEST_P(EventLog, ReportsSelectedEventsOfTheDrivers) {
  TInventoryBuilder inventory = QuietServer();
  inventory.Add(kEventLog, {{"EventID", GetParam().eventId}, {"Message", GetParam().message}});
  EXPECT_EQ(Analyse(inventory).lines, GetParam().lines);
}

const std::string kBoth = "qvtmpdrv.sys and zelk412.sys both failed";
const std::string kNameBeforeZero("zelk412.sys reset\0trailing data", 31);

INSTANTIATE_TEST_SUITE_P(
    Cases, EventLog,
    ::testing::Values(
        TEventCase{"Nine", UInt32(9), kQvtMessage, {Line("9", "qvtmpdrv.sys", kQvtMessage)}},
        TEventCase{"Eleven", UInt32(11), kZelkMessage, {Line("11", "zelk412.sys", kZelkMessage)}},
        TEventCase{"Fifteen", UInt32(15), kZelkMessage, {Line("15", "zelk412.sys", kZelkMessage)}},
        TEventCase{"TwentySix", UInt32(26), kQvtMessage, {Line("26", "qvtmpdrv.sys", kQvtMessage)}},
        TEventCase{"Fifty", SInt32(50), kQvtMessage, {Line("50", "qvtmpdrv.sys", kQvtMessage)}},
        TEventCase{"FiftyOne", "51", kZelkMessage, {Line("51", "zelk412.sys", kZelkMessage)}},
        TEventCase{"Ten", UInt32(10), kQvtMessage, {}},
        TEventCase{"Sixteen", UInt32(16), kZelkMessage, {}},
        TEventCase{"FiftyTwo", UInt32(52), kZelkMessage, {}},
        TEventCase{"NegativeNine", SInt32(-9), kZelkMessage, {}},
        TEventCase{"LeadingBlank", " 51", kZelkMessage, {Line("51", "zelk412.sys", kZelkMessage)}},
        TEventCase{
            "TrailingLetter", "51a", kZelkMessage, {Line("51", "zelk412.sys", kZelkMessage)}},
        TEventCase{"NoNumber", "id 9", kZelkMessage, {}},
        // 2^32 + 9 must not wrap round to a selected ID.
        TEventCase{"BeyondTheSignedRange", "4294967305", kZelkMessage, {}},
        TEventCase{"BothNamesZelkWins", UInt32(9), kBoth, {Line("9", "zelk412.sys", kBoth)}},
        TEventCase{"NameInCapitals", UInt32(9), "ZELK412.SYS reset", {}},
        TEventCase{"NeitherName", UInt32(9), "disk.sys reported an error", {}},
        TEventCase{"NullMessage", UInt32(9), Null(), {}},
        TEventCase{"NullEventId", Null(), kZelkMessage, {}},
        TEventCase{"NameAfterAZero", UInt32(9), std::string("reset\0zelk412.sys", 17), {}},
        TEventCase{"WholeTextAfterTheName",
                   UInt32(9),
                   kNameBeforeZero,
                   {Line("9", "zelk412.sys", kNameBeforeZero)}},
        TEventCase{"EmptyMessage", UInt32(9), "", {}}),
    NTESTS::TCaseName());

TEST(EventLogCheck, ReadsTheMessageOnlyOfSelectedEventsAndRepeatsEqualRecords) {
  TInventoryBuilder inventory = QuietServer();
  inventory.Add(kEventLog, {{"EventID", UInt32(7036)}, {"Message", kZelkMessage}}, "e0")
      .Add(kEventLog, {{"EventID", UInt32(9)}, {"Message", kZelkMessage}}, "e1")
      .Add(kEventLog, {{"EventID", UInt32(9)}, {"Message", kZelkMessage}}, "e2");
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(PropertiesRead(result, "e0"), std::vector<std::string>{"EventID"});
  EXPECT_EQ(PropertiesRead(result, "e1"), (std::vector<std::string>{"EventID", "Message"}));
  EXPECT_EQ(result.lines, std::vector<TLine>(2, Line("9", "zelk412.sys", kZelkMessage)));
}

// Five matching records, the third of which the host cannot deliver whole;
// a controller with scrubbing off shows whether the later checks ran.
TInventoryBuilder FaultOnThirdRecord(const TTestProperty& eventId, const TTestProperty& message) {
  TInventoryBuilder inventory = QuietServer();
  inventory.Add(kController, {{"ControllerType", "Tarvex-4a"},
                              {"ControllerNum", UInt32(1)},
                              {"PartOfCluster", Null()},
                              {"DeviceDriverVersion", Null()},
                              {"DataScrubbing", "No"}});
  inventory.Add(kEventLog, {{"EventID", UInt32(9)}, {"Message", kZelkMessage}})
      .Add(kEventLog, {{"EventID", UInt32(11)}, {"Message", kZelkMessage}})
      .Add(kEventLog, {eventId, message})
      .Add(kEventLog, {{"EventID", UInt32(50)}, {"Message", kZelkMessage}})
      .Add(kEventLog, {{"EventID", UInt32(51)}, {"Message", kZelkMessage}});
  return inventory;
}

struct TFaultCase {
  const char* name;
  TTestProperty eventId;
  TTestProperty message;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TFaultCase& c) { return out << c.name; }
};

class EventLogFault : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(EventLogFault, SkipsTheRecordOnStatusFifteenAndEndsTheCheckOtherwise) {
  const TRunResult result = Analyse(FaultOnThirdRecord(GetParam().eventId, GetParam().message));
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.lines, GetParam().lines);
}

const TLine kFirst = Line("9", "zelk412.sys", kZelkMessage);
const TLine kSecond = Line("11", "zelk412.sys", kZelkMessage);
const TLine kFourth = Line("50", "zelk412.sys", kZelkMessage);
const TLine kFifth = Line("51", "zelk412.sys", kZelkMessage);
const TTestProperty kThirdEventId{"EventID", UInt32(15)};
const TTestProperty kThirdMessage{"Message", kZelkMessage};

INSTANTIATE_TEST_SUITE_P(
    Cases, EventLogFault,
    ::testing::Values(TFaultCase{"MessageMissing",
                                 kThirdEventId,
                                 {"Message", EPropertyFault::Lookup, 15},
                                 {kFirst, kSecond, kFourth, kFifth, kScrubbingOff}},
                      TFaultCase{"MessageValueUnavailable",
                                 kThirdEventId,
                                 {"Message", EPropertyFault::Value, 15},
                                 {kFirst, kSecond, kFourth, kFifth, kScrubbingOff}},
                      TFaultCase{"MessageOtherStatus",
                                 kThirdEventId,
                                 {"Message", EPropertyFault::Lookup, 22},
                                 {kFirst, kSecond, kCheckEnded, kScrubbingOff}},
                      TFaultCase{"MessageValueOtherStatus",
                                 kThirdEventId,
                                 {"Message", EPropertyFault::Value, 4},
                                 {kFirst, kSecond, kCheckEnded, kScrubbingOff}},
                      TFaultCase{"EventIdMissing",
                                 {"EventID", EPropertyFault::Lookup, 15},
                                 kThirdMessage,
                                 {kFirst, kSecond, kCheckEnded, kScrubbingOff}}),
    NTESTS::TCaseName());

struct TClassFaultCase {
  const char* name;
  EClassFault where;
  NQELZARN20::TZARNStatusCode status;
  friend std::ostream& operator<<(std::ostream& out, const TClassFaultCase& c) {
    return out << c.name;
  }
};

class EventLogClassFault : public ::testing::TestWithParam<TClassFaultCase> {};

TEST_P(EventLogClassFault, WritesOneLineAndTheLaterChecksRun) {
  TInventoryBuilder inventory = QuietServerFailing(kEventLog, GetParam().where, GetParam().status);
  inventory.Add(kController, {{"ControllerType", "Tarvex-4a"},
                              {"ControllerNum", UInt32(1)},
                              {"PartOfCluster", Null()},
                              {"DeviceDriverVersion", Null()},
                              {"DataScrubbing", "No"}});
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.lines, (std::vector<TLine>{kCheckEnded, kScrubbingOff}));
}

INSTANTIATE_TEST_SUITE_P(Cases, EventLogClassFault,
                         ::testing::Values(TClassFaultCase{"Missing", EClassFault::Lookup, 15},
                                           TClassFaultCase{"LookupFails", EClassFault::Lookup, 22},
                                           TClassFaultCase{"EnumerationFails",
                                                           EClassFault::Enumerate, 31}),
                         NTESTS::TCaseName());

}  // namespace
