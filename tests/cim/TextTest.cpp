#include "cim/Text.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "support/CaseName.h"

namespace {

using NTESTS::operator<<;

struct TIntegerCase {
  std::string name;
  std::string text;
  std::int32_t number;
};

class ReadInteger : public testing::TestWithParam<TIntegerCase> {};

TEST_P(ReadInteger, ReadsAsAtoiAndSaturates) {
  EXPECT_EQ(NTVXANAL::ReadInteger(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadInteger,
    testing::Values(TIntegerCase{"Plain", "26", 26}, TIntegerCase{"Negative", "-9", -9},
                    TIntegerCase{"Plus", "+51", 51},
                    TIntegerCase{"EveryBlankFirst", " \t\n\v\f\r51", 51},
                    TIntegerCase{"LettersAfter", "12abc", 12},
                    TIntegerCase{"BlankAfterSign", "- 5", 0}, TIntegerCase{"NoDigits", "abc12", 0},
                    TIntegerCase{"Empty", "", 0}, TIntegerCase{"SignOnly", "-", 0},
                    TIntegerCase{"ZeroInsideText",
                                 std::string("7\0"
                                             "9",
                                             3),
                                 7},
                    TIntegerCase{"HighestSigned", "2147483647", 2147483647},
                    TIntegerCase{"PastTheHighest", "2147483648", 2147483647},
                    TIntegerCase{"OneAboveTheLowest", "-2147483647", -2147483647},
                    TIntegerCase{"LowestSigned", "-2147483648", -2147483647 - 1},
                    TIntegerCase{"PastTheLowest", "-2147483649", -2147483647 - 1},
                    TIntegerCase{"WouldWrapToNine", "4294967305", 2147483647},
                    TIntegerCase{"FarPastEveryLimit", "-99999999999999999999999", -2147483647 - 1}),
    NTESTS::TCaseName());

TEST(LowerCase, LowersOnlyTheLettersAToZ) {
  EXPECT_EQ(NTVXANAL::LowerCase("QEL-RND 36G AZ@[`{ \xC3\x89t\xC3\xA9"),
            "qel-rnd 36g az@[`{ \xC3\x89t\xC3\xA9");
}

}  // namespace
