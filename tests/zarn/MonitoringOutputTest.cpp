// zarn check's thresholds, performance data and Prometheus figures on their
// own: which texts are ranges and which numbers of findings each raises the
// alert for, how a value is written, and how a label value is escaped.
#include <string>

#include <gtest/gtest.h>

#include "support/CaseName.h"
#include "zarn/output/MonitoringOutput.h"
#include "zarn/output/PrometheusText.h"

namespace NZARNTEST {
namespace {

using NTESTS::TCaseName;
using NTESTS::operator<<;
using NZARN::TPerfValue;

// Each range is asked about these numbers; 'A' marks an alert, '-' none.
const double kProbes[] = {-1, 0, 5, 10, 10.5, 11};

struct TRangeCase {
  std::string name;
  std::string text;
  std::string alerts;   // empty: not a range
  std::string written;  // as the performance data give it
};

class Ranges : public testing::TestWithParam<TRangeCase> {};

TEST_P(Ranges, ParseAlertAndAreWrittenAsTheGuidelinesSpellThem) {
  const TRangeCase& c = GetParam();
  const std::optional<NZARN::TRange> range = NZARN::ParseRange(c.text);
  ASSERT_EQ(range.has_value(), !c.alerts.empty()) << c.text;
  if (!range) return;
  std::string alerts;
  for (const double probe : kProbes) alerts += range->Alerts(probe) ? 'A' : '-';
  EXPECT_EQ(alerts, c.alerts) << c.text;
  EXPECT_EQ(NZARN::RangeText(*range), c.written) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Check, Ranges,
    testing::Values(
        TRangeCase{"EndOnly", "10", "A---AA", "10"}, TRangeCase{"Zero", "0", "A-AAAA", "0"},
        TRangeCase{"StartOnly", "10:", "AAA---", "10:"},
        TRangeCase{"EmptyStart", ":10", "A---AA", "10"},
        TRangeCase{"ZeroStart", "0:10", "A---AA", "10"},
        TRangeCase{"ZeroToInfinity", "0:", "A-----", "0:"},
        TRangeCase{"MinusInfinity", "~:10", "----AA", "~:10"},
        TRangeCase{"Both", "5:10", "AA--AA", "5:10"},
        TRangeCase{"Inside", "@5:10", "--AA--", "@5:10"},
        TRangeCase{"InsideOpenEnd", "@10:", "---AAA", "@10:"},
        TRangeCase{"Decimals", "0.5:10.5", "AA---A", "0.5:10.5"},
        TRangeCase{"PointsAtTheEdges", ".5:10.", "AA--AA", "0.5:10"},
        TRangeCase{"NegativeAndPlus", "-1:+0", "--AAAA", "-1:0"},
        TRangeCase{"MinusZero", "@-0", "-A----", "@0"},
        TRangeCase{"ManyDigits", "12345678901234567890123456", "A-----",
                   "12345678901234568244756480"},
        TRangeCase{"Everything", "~:", "------", "~:"},
        TRangeCase{"InsideEverything", "@~:", "AAAAAA", "@~:"}, TRangeCase{"Empty", "", "", ""},
        TRangeCase{"AtOnly", "@", "", ""}, TRangeCase{"StartAboveEnd", "10:5", "", ""},
        TRangeCase{"TildeWithoutColon", "~", "", ""}, TRangeCase{"TildeAsEnd", "0:~", "", ""},
        TRangeCase{"Word", "ten", "", ""}, TRangeCase{"Exponent", "1e3", "", ""},
        TRangeCase{"Infinity", "inf", "", ""}, TRangeCase{"TwoPoints", "1.2.3", "", ""},
        TRangeCase{"TwoColons", "1:2:3", "", ""}, TRangeCase{"Blank", " 5", "", ""}),
    TCaseName());

struct TPerfCase {
  std::string name;
  TPerfValue value;
  std::string text;
};

class PerfValues : public testing::TestWithParam<TPerfCase> {};

TEST_P(PerfValues, AreWrittenInTheGuidelinesForm) {
  EXPECT_EQ(NZARN::PerfText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Check, PerfValues,
    testing::Values(
        TPerfCase{"EveryField", {"findings", "2", "", "0", "@1:5", "0"}, "findings=2;0;@1:5;0"},
        TPerfCase{
            "EmptyFieldsKeptBeforeAFilledOne", {"advice", "1", "", "", "", "0"}, "advice=1;;;0"},
        TPerfCase{"EmptyFieldsAtTheEndLeftOut", {"errors", "0", "", "3", "", ""}, "errors=0;3"},
        TPerfCase{
            "BlankQuoted", {"collect time", "0.5", "s", "", "", "0"}, "'collect time'=0.5s;;;0"},
        TPerfCase{"QuoteDoubled", {"it's", "1", "", "", "", ""}, "'it''s'=1"},
        TPerfCase{"EqualsQuoted", {"a=b", "1", "", "", "", ""}, "'a=b'=1"}),
    TCaseName());

TEST(CSeconds, AreWrittenWithAPointAndSixDecimals) {
  EXPECT_EQ(NZARN::CSeconds(0.0001234), "0.000123");
  EXPECT_EQ(NZARN::CSeconds(12.5), "12.500000");
}

struct TLabelCase {
  std::string name;
  std::string value;
  std::string written;
};

class LabelValues : public testing::TestWithParam<TLabelCase> {};

TEST_P(LabelValues, AreWrittenAsTheTextFormatAsks) {
  const NZARN::TMetricFamily family{
      "m", "Help.", "gauge", {{{{"a", "1"}, {"b", GetParam().value}}, "2"}}};
  EXPECT_EQ(NZARN::FamilyText(family),
            "# HELP m Help.\n# TYPE m gauge\nm{a=\"1\",b=\"" + GetParam().written + "\"} 2\n");
}

INSTANTIATE_TEST_SUITE_P(
    Prometheus, LabelValues,
    testing::Values(TLabelCase{"Plain", "QELSG_PCIDevice", "QELSG_PCIDevice"},
                    TLabelCase{"Empty", "", ""}, TLabelCase{"Quote", "a\"b", "a\\\"b"},
                    TLabelCase{"Backslash", "C:\\x", "C:\\\\x"},
                    TLabelCase{"LineFeed", "a\nb", "a\\nb"},
                    TLabelCase{"OtherControlsKept", "a\tb\rc", "a\tb\rc"},
                    TLabelCase{"Utf8Kept", "gr\xC3\xBC\xC3\x9F", "gr\xC3\xBC\xC3\x9F"},
                    TLabelCase{"BrokenUtf8Replaced", "a\xFF\xC3", "a\xEF\xBF\xBD\xEF\xBF\xBD"}),
    TCaseName());

}  // namespace
}  // namespace NZARNTEST
