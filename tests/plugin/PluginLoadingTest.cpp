#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <boost/pointer_cast.hpp>

#include "host/Zarn.h"
#include "support/AnalysisHarness.h"

namespace {

using NQELZARN20::IPluginCallbacks;
using namespace NTESTS;

std::vector<IPluginCallbacks*> RegisteredPlugins() {
  const boost::shared_ptr<NQELZARN20::TPluginManagerNamespace> manager =
      boost::dynamic_pointer_cast<NQELZARN20::TPluginManagerNamespace>(
          NQELZARN20::TRootObject::GetPluginManager());
  return manager->GetRegisteredPlugins();
}

// The harness loads the built library as the host does. Loading it is the
// process attach that registers the object; a thread that starts and ends
// in the process sends the library its thread notifications, which must
// leave the object registered, alive and answering on any thread.
TEST(PluginLoading, ThreadsStartingAndEndingLeaveTheRegisteredObjectAnswering) {
  IPluginCallbacks* plugin = &TAnalysisHarness::Instance().Plugin();
  ASSERT_EQ(RegisteredPlugins(), std::vector<IPluginCallbacks*>{plugin});

  std::string nameOnThread;
  std::thread thread([plugin, &nameOnThread] { nameOnThread = plugin->GetPluginName(); });
  thread.join();

  EXPECT_EQ(nameOnThread, "Tvx Analysis");
  EXPECT_EQ(RegisteredPlugins(), std::vector<IPluginCallbacks*>{plugin});
  EXPECT_EQ(plugin->GetPluginName(), "Tvx Analysis");
  // The host's status-15 exception, thrown in the host core, is caught in
  // the plug-in and becomes its error line.
  const TRunResult result = Analyse(TInventoryBuilder());
  EXPECT_EQ(result.exception, "");
  EXPECT_EQ(result.lines, (std::vector<TLine>{{0, "Tvxanal: Error getting class or property"}}));
}

}  // namespace
