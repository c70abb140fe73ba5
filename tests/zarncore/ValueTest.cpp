#include <gtest/gtest.h>

#include "support/CaseName.h"

#include <cstdint>
#include <limits>
#include <string>

#include "host/CIMValue.h"
#include "host/ZARNException.h"

namespace {

using namespace NQELZARN20;

struct TTextCase {
  const char* name;
  TCIMValue value;
  ECIMType type;
  std::uint8_t base;
  std::string text;
  friend std::ostream& operator<<(std::ostream& out, const TTextCase& c) { return out << c.name; }
};

class ValueText : public ::testing::TestWithParam<TTextCase> {};

TEST_P(ValueText, GivesTheTypeAndTheTextOfEveryKind) {
  const TTextCase& c = GetParam();
  EXPECT_EQ(static_cast<ECIMType>(c.value.GetType()), c.type);
  EXPECT_EQ(c.value.ToString(c.base), c.text);
  // The text conversion never throws and agrees with base 10.
  EXPECT_EQ(static_cast<std::string>(c.value), c.value.ToString(10));
}

const std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueText,
    ::testing::Values(
        TTextCase{"Default", TCIMValue(), eCIMTypeNull, 10, ""},
        TTextCase{"String", TCIMValue("Tarvex-4a"), eCIMTypeString, 10, "Tarvex-4a"},
        TTextCase{"BooleanTrue", TCIMValue::Boolean(true), eCIMTypeBoolean, 10, "true"},
        TTextCase{"BooleanFalse", TCIMValue::Boolean(false), eCIMTypeBoolean, 10, "false"},
        TTextCase{"UInt16", TCIMValue::Unsigned(eCIMTypeUInt16, 36869), eCIMTypeUInt16, 10,
                  "36869"},
        TTextCase{"UInt16Hex", TCIMValue::Unsigned(eCIMTypeUInt16, 36869), eCIMTypeUInt16, 16,
                  "9005"},
        TTextCase{"UInt64Max", TCIMValue::Unsigned(eCIMTypeUInt64, ~0ull), eCIMTypeUInt64, 10,
                  "18446744073709551615"},
        TTextCase{"Negative", TCIMValue::Signed(eCIMTypeSInt32, -3), eCIMTypeSInt32, 10, "-3"},
        TTextCase{"NegativeBinary", TCIMValue::Signed(eCIMTypeSInt8, -5), eCIMTypeSInt8, 2, "-101"},
        TTextCase{"SInt64Min", TCIMValue::Signed(eCIMTypeSInt64, kMin64), eCIMTypeSInt64, 10,
                  "-9223372036854775808"},
        TTextCase{"Real64", TCIMValue::Real(eCIMTypeReal64, 0.1), eCIMTypeReal64, 10, "0.1"},
        TTextCase{"Real32Shortest", TCIMValue::Real(eCIMTypeReal32, 0.1), eCIMTypeReal32, 10,
                  "0.1"},
        TTextCase{"RealWhole", TCIMValue::Real(eCIMTypeReal64, 12), eCIMTypeReal64, 10, "12"},
        TTextCase{"Char16", TCIMValue::Text(eCIMTypeChar16, "x"), eCIMTypeChar16, 10, "x"},
        TTextCase{"DateTime", TCIMValue::Text(eCIMTypeDateTime, "20261206083000.000000+060"),
                  eCIMTypeDateTime, 10, "20261206083000.000000+060"},
        TTextCase{"BaseIgnoredForText", TCIMValue("12"), eCIMTypeString, 99, "12"},
        TTextCase{"TypedNull", TCIMValue::Null(eCIMTypeUInt16), eCIMTypeUInt16, 10, ""}),
    NTESTS::TCaseName());

TEST(Value, NullnessFollowsTheValue) {
  EXPECT_TRUE(TCIMValue().IsNull());
  EXPECT_TRUE(TCIMValue::Null(eCIMTypeString).IsNull());
  EXPECT_FALSE(TCIMValue("").IsNull());
  EXPECT_FALSE(TCIMValue::Unsigned(eCIMTypeUInt8, 0).IsNull());
}

TEST(Value, OnlyAUInt16ConvertsToAUInt16) {
  EXPECT_EQ(static_cast<std::uint16_t>(TCIMValue::Unsigned(eCIMTypeUInt16, 645)), 645);
  for (const TCIMValue& other :
       {TCIMValue::Unsigned(eCIMTypeUInt32, 645), TCIMValue::Signed(eCIMTypeSInt16, 645),
        TCIMValue("645"), TCIMValue::Null(eCIMTypeUInt16), TCIMValue()}) {
    try {
      static_cast<void>(static_cast<std::uint16_t>(other));
      ADD_FAILURE() << "converted a value of type " << static_cast<ECIMType>(other.GetType());
    } catch (const TZARNException& error) {
      EXPECT_NE(error.GetStatusCode(), kZARNStatusNotAvailable);
    }
  }
}

TEST(Value, RefusesNumbersThatDoNotFitTheType) {
  EXPECT_THROW(TCIMValue::Unsigned(eCIMTypeUInt8, 256), TZARNException);
  EXPECT_THROW(TCIMValue::Signed(eCIMTypeSInt8, -129), TZARNException);
  EXPECT_THROW(TCIMValue::Signed(eCIMTypeSInt16, 32768), TZARNException);
  EXPECT_THROW(TCIMValue::Unsigned(eCIMTypeSInt32, 1), TZARNException);
  EXPECT_THROW(TCIMValue::Real(eCIMTypeReal32, 1e39), TZARNException);
  EXPECT_THROW(TCIMValue::Real(eCIMTypeReal64, std::numeric_limits<double>::infinity()),
               TZARNException);
  EXPECT_THROW(TCIMValue::Text(eCIMTypeUInt8, "1"), TZARNException);
  EXPECT_THROW(TCIMValue::Unsigned(eCIMTypeUInt8, 1).ToString(37), TZARNException);
}

TEST(StatusCode, FifteenMeansNotAvailableAndOthersAreNumbered) {
  EXPECT_EQ(TranslateStatusCode(15), "class or property not available");
  EXPECT_EQ(TranslateStatusCode(22), "status 22");
  EXPECT_STREQ(TZARNException(15).what(), "class or property not available");
  EXPECT_EQ(TZARNException(-7).GetStatusCode(), -7);
}

}  // namespace
