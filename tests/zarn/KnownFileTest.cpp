// Known files on their own: which texts load and where a faulty one is
// wrong, and which lines an entry acknowledges, on which host, until when.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/Analysis.h"
#include "support/CaseName.h"
#include "zarn/known/Acknowledgements.h"
#include "zarn/known/KnownFile.h"

namespace NZARNTEST {
namespace {

using NTESTS::TCaseName;
using NTESTS::operator<<;
using NZARN::TDate;
using NZARN::TKnownFile;

// An entry with that until, the rest well formed.
std::string WithUntil(const std::string& until) {
  return R"({"known": [{"finding": "f", "reason": "r", "until": ")" + until + R"("}]})";
}

struct TLoadCase {
  std::string name;
  std::string text;
  std::string error;  // empty: the file loads
};

class KnownFiles : public testing::TestWithParam<TLoadCase> {};

TEST_P(KnownFiles, LoadOrNameThePlaceOfTheirFault) {
  const TLoadCase& c = GetParam();
  try {
    NZARN::ParseKnownFile(c.text, "k.json");
    EXPECT_EQ(c.error, "") << c.text;
  } catch (const NZARN::TKnownFileError& error) {
    EXPECT_EQ(error.what(), c.error) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Zarn, KnownFiles,
    testing::Values(
        TLoadCase{"Empty", R"({"known": []})", ""},
        TLoadCase{
            "WithHost",
            R"({"known": [{"finding": "f", "host": "db1", "reason": "r", "until": "2027-01-31"}]})",
            ""},
        TLoadCase{"SyntaxOnItsLineAndColumn", "{\"known\": [\n  {\"finding\": \"é\",, }]}",
                  "k.json:2:19: syntax error"},
        TLoadCase{"CutShort", "{\"known\": [", "k.json:1:12: incomplete JSON"},
        TLoadCase{"NoObject", "[]",
                  R"(k.json: not a known file: {"known": [ENTRY, ...]} expected)"},
        TLoadCase{"KnownNoArray", R"({"known": {}})",
                  R"(k.json: not a known file: {"known": [ENTRY, ...]} expected)"},
        TLoadCase{"AnotherMember", R"({"known": [], "more": 1})",
                  R"(k.json: a known file holds only "known")"},
        TLoadCase{"EntryNoObject", R"({"known": ["f"]})", "k.json: known[0]: not an object"},
        TLoadCase{
            "MisspeltKey",
            R"({"known": [{"finding": "f", "reason": "r", "until": "2027-01-31", "untill": "x"}]})",
            "k.json: known[0]: unknown key 'untill'; an entry has finding, host, reason and "
            "until"},
        TLoadCase{"SecondEntryWithoutFinding",
                  R"({"known": [{"finding": "f", "reason": "r", "until": "2027-01-31"},
                                {"reason": "r", "until": "2027-01-31"}]})",
                  "k.json: known[1].finding: missing"},
        TLoadCase{
            "HostNoText",
            R"({"known": [{"finding": "f", "host": 1, "reason": "r", "until": "2027-01-31"}]})",
            "k.json: known[0].host: not a string"},
        TLoadCase{"ReasonEmpty",
                  R"({"known": [{"finding": "f", "reason": "", "until": "2027-01-31"}]})",
                  "k.json: known[0].reason: empty; say why the finding is known"},
        TLoadCase{"UntilMissing", R"({"known": [{"finding": "f", "reason": "r"}]})",
                  "k.json: known[0].until: missing"},
        TLoadCase{"LeapDay", WithUntil("2028-02-29"), ""},
        TLoadCase{"LeapDayOfAFourHundredthYear", WithUntil("2000-02-29"), ""},
        TLoadCase{"NoLeapDayInAHundredthYear", WithUntil("2100-02-29"),
                  "k.json: known[0].until: '2100-02-29' is not a date written YYYY-MM-DD"},
        TLoadCase{"NoThirteenthMonth", WithUntil("2026-13-01"),
                  "k.json: known[0].until: '2026-13-01' is not a date written YYYY-MM-DD"},
        TLoadCase{"NoThirtyFirstOfApril", WithUntil("2026-04-31"),
                  "k.json: known[0].until: '2026-04-31' is not a date written YYYY-MM-DD"},
        TLoadCase{"NoYearZero", WithUntil("0000-01-01"),
                  "k.json: known[0].until: '0000-01-01' is not a date written YYYY-MM-DD"},
        TLoadCase{"TwoDigitsEach", WithUntil("2026-1-01"),
                  "k.json: known[0].until: '2026-1-01' is not a date written YYYY-MM-DD"},
        TLoadCase{"NothingAfter", WithUntil("2026-01-01T00:00"),
                  "k.json: known[0].until: '2026-01-01T00:00' is not a date written YYYY-MM-DD"},
        TLoadCase{"ThePlaceholder", WithUntil("YYYY-MM-DD"),
                  "k.json: known[0].until: 'YYYY-MM-DD' is not a date written YYYY-MM-DD"}),
    TCaseName());

const TDate kToday{2026, 12, 7};

// Entries: 0 "disk" on db1 until today; 1 "disk" on any host, ended
// yesterday; 2 "agent" on web1, ended; 3 "agent" on web1, in force; 4
// "advice" on any host; 5 "error" on any host; 6 "gone" on db1.
const char kEntries[] = R"({"known": [
  {"finding": "disk", "host": "db1", "reason": "watched", "until": "2026-12-07"},
  {"finding": "disk", "reason": "old", "until": "2026-12-06"},
  {"finding": "agent", "host": "web1", "reason": "old", "until": "2026-01-31"},
  {"finding": "agent", "host": "web1", "reason": "renewed", "until": "2027-01-31"},
  {"finding": "advice", "reason": "r", "until": "2027-01-31"},
  {"finding": "error", "reason": "r", "until": "2027-01-31"},
  {"finding": "gone", "host": "db1", "reason": "r", "until": "2027-01-31"}]})";

struct TMatchCase {
  std::string name;
  std::string host;
  std::int32_t level;
  std::string text;
  std::string acknowledged;  // "known N", "ended N", or empty for none
};

class Acknowledgements : public testing::TestWithParam<TMatchCase> {};

TEST_P(Acknowledgements, NameTheLinesTheirEntriesApplyTo) {
  const TMatchCase& c = GetParam();
  const TKnownFile file = NZARN::ParseKnownFile(kEntries, "k.json");
  NZARN::TAcknowledgements acknowledgements(file, c.host, kToday);
  const auto match = acknowledgements.Match(c.level, c.text);
  const std::string got =
      match ? (match->ended ? "ended " : "known ") + std::to_string(match->index) : "";
  EXPECT_EQ(got, c.acknowledged);
}

INSTANTIATE_TEST_SUITE_P(
    Zarn, Acknowledgements,
    testing::Values(
        TMatchCase{"OnItsHostUpToAndIncludingItsDay", "db1", 100, "disk", "known 0"},
        TMatchCase{"AnyHostsEntryEndedTheDayBefore", "web1", 100, "disk", "ended 1"},
        TMatchCase{"NoHostNamedMatchesAnyHostsEntriesOnly", "", 100, "disk", "ended 1"},
        TMatchCase{"OneInForceWinsOverOneEndedBeforeIt", "web1", 100, "agent", "known 3"},
        TMatchCase{"AnotherHostsEntryDoesNotApply", "db1", 100, "agent", ""},
        TMatchCase{"AdviceToo", "db1", NQELZARN20::kLevelAdvice, "advice", "known 4"},
        TMatchCase{"NoErrorIsAcknowledged", "db1", NQELZARN20::kLevelError, "error", ""},
        TMatchCase{"NoDiagnosticIsAcknowledged", "db1", NQELZARN20::kLevelDiagnostic, "error", ""},
        TMatchCase{"TheTextExactly", "db1", 100, "disk ", ""}),
    TCaseName());

TEST(Acknowledgements, AnEntryIsUnusedWhereItAppliedAndMatchedNothing) {
  const TKnownFile file = NZARN::ParseKnownFile(kEntries, "k.json");
  NZARN::TAcknowledgements db1(file, "db1", kToday);
  db1.Match(100, "disk");
  db1.Match(101, "advice");
  // web1's entries, applying to no inventory analysed, are no stale ones.
  EXPECT_EQ(NZARN::UnusedTexts(file, {"db1"}, db1.Used()),
            (std::vector<std::string>{"known[1] matched no finding: disk",
                                      "known[5] matched no finding: error",
                                      "known[6] (host db1) matched no finding: gone"}));
  EXPECT_EQ(NZARN::UnusedTexts(file, {"db1", "web1"}, db1.Used()).size(), 5u);
}

}  // namespace
}  // namespace NZARNTEST
