#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "host/Zarn.h"
#include "plugin/LibraryEntry.h"
#include "support/FailingAllocations.h"
#include "zarncore/Assertion.h"
#include "zarncore/HostRoot.h"

namespace {

using NQELZARN20::TPluginManagerNamespace;
using namespace NTVXANAL;

// This program has the plug-in's code linked in, so its load-time attach
// ran before the root object existed and registered nothing.
class LibraryEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { NZARNCORE::InitialiseRootObject(m_manager, nullptr); }
  void TearDown() override {
    for (NQELZARN20::IPluginCallbacks* plugin : m_manager->GetRegisteredPlugins()) {
      m_manager->UnregisterPlugin(plugin);
      plugin->Destroy();
    }
    NZARNCORE::ResetRootObject();
  }
  std::size_t Registered() const { return m_manager->GetRegisteredPlugins().size(); }

  boost::shared_ptr<TPluginManagerNamespace> m_manager =
      boost::make_shared<TPluginManagerNamespace>();
};

TEST_F(LibraryEntryTest, ProcessAttachRegistersOneObjectWithBothViews) {
  for (const TEntryReason reason : {kThreadAttach, kThreadDetach, kProcessDetach})
    EXPECT_EQ(LibraryEntry(nullptr, reason, nullptr), kEntrySucceeded) << "reason " << reason;
  ASSERT_EQ(Registered(), 0u);
  EXPECT_EQ(LibraryEntry(nullptr, kProcessAttach, nullptr), kEntrySucceeded);
  ASSERT_EQ(Registered(), 1u);
  NQELZARN20::IPluginCallbacks* plugin = m_manager->GetRegisteredPlugins().front();
  EXPECT_NE(dynamic_cast<NQELZARN20::IPluginBasicQueryCallbacks*>(plugin), nullptr);
}

TEST_F(LibraryEntryTest, AttachFailsAndRegistersNothingWithoutAPluginManager) {
  NZARNCORE::ResetRootObject();
  EXPECT_EQ(LibraryEntry(nullptr, kProcessAttach, nullptr), kEntryFailed);
  EXPECT_EQ(Registered(), 0u);
}

TEST_F(LibraryEntryTest, AttachFailsAndRegistersNothingWithoutMemoryForTheObject) {
  {
    // The attach allocates the plug-in object without throwing.
    const NTESTS::TFailingAllocations failing(1);
    EXPECT_EQ(LibraryEntry(nullptr, kProcessAttach, nullptr), kEntryFailed);
  }
  EXPECT_EQ(Registered(), 0u);
}

// A manager of another kind cannot take registrations: the host's assertion
// handler stops the construction before the null manager is used.
class TForeignManager : public NQELZARN20::ICIMNamespace {
 public:
  boost::shared_ptr<NQELZARN20::ICIMClass> GetClass(const std::string&,
                                                    NQELZARN20::TCIMContext) override {
    throw NQELZARN20::TZARNException(NQELZARN20::kZARNStatusNotAvailable);
  }
};

TEST_F(LibraryEntryTest, AttachFailsWhenTheManagerIsOfAnotherKind) {
  NZARNCORE::InitialiseRootObject(boost::make_shared<TForeignManager>(), nullptr);
  EXPECT_EQ(LibraryEntry(nullptr, kProcessAttach, nullptr), kEntryFailed);
  EXPECT_EQ(Registered(), 0u);
}

}  // namespace
