#pragma once

#include <string>

#include <gtest/gtest.h>

namespace NTESTS {

// Names a parameterised case after the `name` field of its parameter.
struct TCaseName {
  template <class TCase>
  std::string operator()(const ::testing::TestParamInfo<TCase>& tested) const {
    return tested.param.name;
  }
};

}  // namespace NTESTS
