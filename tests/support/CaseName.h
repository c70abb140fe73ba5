#pragma once

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace NTESTS {

// Names table-driven cases after their name member, in test names and, with
// the operator below, in failure messages.
struct TCaseName {
  template <class TCase>
  std::string operator()(const ::testing::TestParamInfo<TCase>& tested) const {
    return tested.param.name;
  }
};

template <class TCase>
auto operator<<(std::ostream& out, const TCase& testCase) -> decltype(testCase.name, out) {
  return out << testCase.name;
}

}  // namespace NTESTS
