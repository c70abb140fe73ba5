// Events of the System log as the event-log API renders them, kept as
// recorded under events/, become records; malformed ones are refused.
#include <string>

#include <gtest/gtest.h>

#include <boost/json/serialize.hpp>

#include "collectors/SourceError.h"
#include "collectors/windows/RenderedEvent.h"
#include "zarn/ZarnRun.h"

namespace NZARNTEST {
namespace {

using NTESTS::operator<<;
using NZARNCOLLECT::ParseRenderedEvent;

struct TEventCase {
  std::string name;
  std::string file;      // under events/
  std::string provider;  // whose messages render it
  std::string record;    // the instance, as compact JSON
};

class RenderedEvent : public testing::TestWithParam<TEventCase> {};

TEST_P(RenderedEvent, BecomesARecord) {
  const NZARNCOLLECT::TEventRecord record =
      ParseRenderedEvent(ReadFile("tests/collectors/windows/events/" + GetParam().file));
  EXPECT_EQ(record.provider, GetParam().provider);
  EXPECT_EQ(boost::json::serialize(record.Instance()), GetParam().record);
}

INSTANTIATE_TEST_SUITE_P(
    SystemLog, RenderedEvent,
    testing::Values(
        TEventCase{
            "ClassicDriver", "classic-driver.xml", "zelk412",
            R"({"EventID":{"uint32":11},"SourceName":"zelk412","Message":"The driver zelk412.sys detected a controller error on \\Device\\RaidPort1.","TimeGenerated":"2026-11-30T04:12:09.5591234Z"})"},
        TEventCase{
            "WithoutItsMessage", "classic-driver-unrendered.xml", "qvtmpdrv",
            R"({"EventID":{"uint32":9},"SourceName":"qvtmpdrv","Message":null,"TimeGenerated":"2026-11-29T22:40:13.0012345Z"})"},
        TEventCase{
            "SourceNameOfItsOwn", "winlogon-pretty.xml", "Microsoft-Windows-Winlogon",
            R"({"EventID":{"uint32":7002},"SourceName":"Winlogon","Message":"User Logoff Notification for Customer Experience Improvement Program","TimeGenerated":"2026-11-30T05:01:44.0218830Z"})"},
        TEventCase{
            "MessageOfSeveralLines", "kernel-general-german.xml",
            "Microsoft-Windows-Kernel-General",
            "{\"EventID\":{\"uint32\":1},\"SourceName\":\"Microsoft-Windows-Kernel-General\","
            "\"Message\":\"Die Systemzeit wurde von "
            "\u200e2026\u200e-\u200e11\u200e-\u200e30T03:59:59."
            "000000000Z in \u200e2026\u200e-\u200e11\u200e-\u200e30T04:00:00.500000000Z "
            "ge\u00e4ndert."
            "\\n\\nGrund der \u00c4nderung: Eine Anwendung oder Systemkomponente hat die Zeit "
            "ge\u00e4ndert.\",\"TimeGenerated\":\"2026-11-30T04:00:00.5000000Z\"}"}),
    NTESTS::TCaseName());

struct TMalformedCase {
  std::string name;
  std::string xml;
  std::string outcome;  // the error, or the record
};

class MalformedEvent : public testing::TestWithParam<TMalformedCase> {};

TEST_P(MalformedEvent, IsRefusedOrReadAsFarAsItGoes) {
  std::string outcome;
  try {
    outcome = boost::json::serialize(ParseRenderedEvent(GetParam().xml).Instance());
  } catch (const NZARNCOLLECT::TSourceError& error) {
    outcome = error.what();
  }
  EXPECT_EQ(outcome, GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(
    SystemLog, MalformedEvent,
    testing::Values(
        TMalformedCase{"Truncated", "<Event><System><EventID>9</EventID>",
                       "a record is not well-formed XML: unexpected end of data"},
        TMalformedCase{"NoXml", "event 9", "a record is not well-formed XML: expected <"},
        TMalformedCase{"NoSystem", "<Event><EventData/></Event>",
                       "a record is no event: it has no Event/System element"},
        TMalformedCase{
            "EventIdNotANumber",
            "<Event><System><EventID>9x</EventID></System><RenderingInfo><Message/></RenderingInfo>"
            "</Event>",
            R"({"EventID":{"uint32":null},"SourceName":"","Message":"","TimeGenerated":""})"},
        TMalformedCase{
            "EventIdTooLarge", "<Event><System><EventID>4294967296</EventID></System></Event>",
            R"({"EventID":{"uint32":null},"SourceName":"","Message":null,"TimeGenerated":""})"}),
    NTESTS::TCaseName());

}  // namespace
}  // namespace NZARNTEST
