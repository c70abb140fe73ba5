#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "host/CIMValue.h"
#include "host/ZARNException.h"
#include "support/CaseName.h"

namespace {

using namespace NQELZARN20;

struct TTextCase {
  const char* name;
  TCIMValue value;
  std::uint8_t base;
  std::string text;
  friend std::ostream& operator<<(std::ostream& out, const TTextCase& c) { return out << c.name; }
};

class ValueText : public ::testing::TestWithParam<TTextCase> {};

// The text in the asked base; the conversion to a string agrees with base 10.
TEST_P(ValueText, GivesTheTextOfEveryKind) {
  EXPECT_EQ(GetParam().value.ToString(GetParam().base), GetParam().text);
  EXPECT_EQ(static_cast<std::string>(GetParam().value), GetParam().value.ToString(10));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueText,
    ::testing::Values(
        TTextCase{"UInt16Hex", TCIMValue::Unsigned(eCIMTypeUInt16, 36869), 16, "9005"},
        TTextCase{"NegativeBinary", TCIMValue::Signed(eCIMTypeSInt8, -5), 2, "-101"},
        TTextCase{"SInt64Min",
                  TCIMValue::Signed(eCIMTypeSInt64, std::numeric_limits<std::int64_t>::min()), 10,
                  "-9223372036854775808"},
        TTextCase{"Real32Shortest", TCIMValue::Real(eCIMTypeReal32, 0.1), 10, "0.1"},
        TTextCase{"BaseIgnoredForText", TCIMValue("12"), 99, "12"},
        TTextCase{"TypedNull", TCIMValue::Null(eCIMTypeUInt16), 10, ""}),
    NTESTS::TCaseName());

// The ranges themselves are pinned by the loader's cases.
TEST(Value, RefusesWhatDoesNotFitTheType) {
  EXPECT_THROW(TCIMValue::Unsigned(eCIMTypeUInt8, 256), TZARNException);
  EXPECT_THROW(TCIMValue::Signed(eCIMTypeSInt8, -129), TZARNException);
  EXPECT_THROW(TCIMValue::Unsigned(eCIMTypeSInt32, 1), TZARNException);
  EXPECT_THROW(TCIMValue::Real(eCIMTypeReal32, 1e39), TZARNException);
  EXPECT_THROW(TCIMValue::Real(eCIMTypeReal64, std::numeric_limits<double>::infinity()),
               TZARNException);
  EXPECT_THROW(TCIMValue::Text(eCIMTypeUInt8, "1"), TZARNException);
  EXPECT_THROW(TCIMValue::Unsigned(eCIMTypeUInt8, 1).ToString(37), TZARNException);
}

}  // namespace
