#include <gtest/gtest.h>

#include "support/AnalysisHarness.h"

namespace {

using NTESTS::TAnalysisHarness;

TEST(PluginIdentity, AnswersItsIdentityAnyNumberOfTimes) {
  NQELZARN20::IPluginCallbacks& plugin = TAnalysisHarness::Instance().Plugin();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(plugin.GetPluginName(), "Tvx Analysis");
    EXPECT_EQ(plugin.GetPluginVersion(), "1.0");
    EXPECT_EQ(plugin.GetInterfaceVersion(), "1.0");
    EXPECT_EQ(plugin.GetPluginType(), 1);
    plugin.FirstHook();
    plugin.SecondHook();
  }
}

TEST(PluginIdentity, TheAnalysisViewIsTheSameObject) {
  NQELZARN20::IPluginCallbacks& plugin = TAnalysisHarness::Instance().Plugin();
  auto* analysis = dynamic_cast<NQELZARN20::IPluginBasicQueryCallbacks*>(&plugin);
  ASSERT_NE(analysis, nullptr);
  EXPECT_EQ(dynamic_cast<NQELZARN20::IPluginCallbacks*>(analysis), &plugin);
}

}  // namespace
