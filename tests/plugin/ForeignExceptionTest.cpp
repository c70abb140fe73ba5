// Only host exceptions are the plug-in's to handle. An exception of any
// other type that the host throws inside a check passes every guard of the
// checks and the dispatcher and reaches the caller of RunAnalysis as it was,
// and every host reference is let go on the way.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "host/Zarn.h"
#include "support/AnalysisHarness.h"
#include "support/CaseName.h"
#include "zarncore/Repository.h"

namespace {

using NTESTS::operator<<;

using namespace NTESTS;
using NQELZARN20::ICIMClass;
using NQELZARN20::ICIMInstance;
using NQELZARN20::ICIMNamespace;
using NQELZARN20::ICIMProperty;
using NQELZARN20::TCIMContext;
using NQELZARN20::TInstanceCallback;

class THostBroke : public std::runtime_error {
 public:
  THostBroke() : std::runtime_error("host broke") {}
};

// The repository's objects, passed through, except that looking up the one
// class or property named `failing` throws THostBroke.
class TBrokenInstance : public ICIMInstance {
 public:
  TBrokenInstance(boost::shared_ptr<ICIMInstance> inner, const std::string& failing)
      : m_inner(std::move(inner)), m_failing(failing) {}
  bool EnumerateAssociatedInstances(const TInstanceCallback& callback,
                                    const std::string& associationClass,
                                    const std::string& resultClass, const std::string& role,
                                    const std::string& resultRole, TCIMContext context) override {
    return m_inner->EnumerateAssociatedInstances(Wrapped(callback, m_failing), associationClass,
                                                 resultClass, role, resultRole, context);
  }
  boost::shared_ptr<ICIMProperty> GetProperty(const std::string& name,
                                              TCIMContext context) override {
    if (name == m_failing) throw THostBroke();
    return m_inner->GetProperty(name, context);
  }

  static TInstanceCallback Wrapped(const TInstanceCallback& callback, const std::string& failing) {
    return [callback, &failing](const boost::shared_ptr<ICIMInstance>& instance) {
      return callback(boost::make_shared<TBrokenInstance>(instance, failing));
    };
  }

 private:
  boost::shared_ptr<ICIMInstance> m_inner;
  const std::string& m_failing;
};

class TBrokenClass : public ICIMClass {
 public:
  TBrokenClass(boost::shared_ptr<ICIMClass> inner, const std::string& failing)
      : m_inner(std::move(inner)), m_failing(failing) {}
  const std::string& GetName(TCIMContext context) override { return m_inner->GetName(context); }
  bool EnumerateInstances(const TInstanceCallback& callback, bool deep,
                          TCIMContext context) override {
    return m_inner->EnumerateInstances(TBrokenInstance::Wrapped(callback, m_failing), deep,
                                       context);
  }

 private:
  boost::shared_ptr<ICIMClass> m_inner;
  const std::string& m_failing;
};

class TBrokenNamespace : public ICIMNamespace {
 public:
  TBrokenNamespace(boost::shared_ptr<ICIMNamespace> inner, const std::string& failing)
      : m_inner(std::move(inner)), m_failing(failing) {}
  boost::shared_ptr<ICIMClass> GetClass(const std::string& name, TCIMContext context) override {
    if (name == m_failing) throw THostBroke();
    return boost::make_shared<TBrokenClass>(m_inner->GetClass(name, context), m_failing);
  }

 private:
  boost::shared_ptr<ICIMNamespace> m_inner;
  const std::string& m_failing;
};

// A server on which every check reaches each of its lookups: an adapter by
// its PCI identity, a selected driver event and a service.
const std::string kServerReachingEveryLookup = Patch(
    {Instances("QELSG_PCIDevice",
               {R"("VendorID": {"uint16": 36869}, "PciDeviceID": {"uint16": 645})"}),
     Instances("QELSG_WindowsSystemEventLogRecord", {R"("EventID": 26, "Message": "zelk412.sys")"}),
     Instances("QELSG_SystemServiceInfo", {R"("Name": "Spooler")"})});

struct TForeignCase {
  std::string name;
  std::string failing;
};

class ForeignException : public testing::TestWithParam<TForeignCase> {};

TEST_P(ForeignException, PassesEveryGuardAndLetsGoOfEveryReference) {
  NZARNCORE::TRepository repository(PatchedServer(kServerReachingEveryLookup));
  {
    const std::vector<boost::shared_ptr<ICIMClass> > classes{repository.MakeClass(kAnalysisClass)};
    EXPECT_THROW(LoadedAnalysis().RunAnalysis(boost::make_shared<TBrokenNamespace>(
                                                  repository.OpenNamespace(), GetParam().failing),
                                              classes),
                 THostBroke);
  }
  EXPECT_EQ(repository.OutstandingReferences(), 0u);
}

// Each lookup in the order the pass makes them, with the guard it passes.
INSTANTIATE_TEST_SUITE_P(
    Cases, ForeignException,
    testing::Values(TForeignCase{"UnguardedClass", "QELSG_txDiskDrive"},
                    TForeignCase{"ManagerControllerClassGuard", "QELSG_txSCSIProtocolController"},
                    TForeignCase{"ManagerPciClassGuard", "QELSG_PCIDevice"},
                    TForeignCase{"ManagerProductNameGuard", "ProductName"},
                    TForeignCase{"EventLogClassGuard", "QELSG_WindowsSystemEventLogRecord"},
                    TForeignCase{"EventLogMessageGuard", "Message"},
                    TForeignCase{"AgentServiceClassGuard", "QELSG_SystemServiceInfo"},
                    TForeignCase{"AgentServiceNameGuard", "Name"}),
    TCaseName());

// A null class in the list, which only a broken host passes: the host's
// assertion handler throws before the null is used, after the pass of the
// class before it.
TEST(RunAnalysis, ANullClassInTheListReachesTheHostAsAForeignException) {
  const TRunResult result = Analyze(
      Patch({Instances("QELSG_txSCSIProtocolController",
                       {R"("ControllerType": "Tarvex-4a", "ControllerNum": 1, "DataScrubbing": "No",
                           "PartOfCluster": "No", "DeviceDriverVersion": null)"})}),
      {kAnalysisClass, kNullClass, kAnalysisClass});
  EXPECT_NE(result.exception.find("assertion failed: px != 0"), std::string::npos)
      << result.exception;
  EXPECT_EQ(result.lines,
            (std::vector<TLine>{{100,
                                 "Tarvex: Data scrubbing for controller number 1 controller "
                                 "type Tarvex-4a is disabled"}}));
}

}  // namespace
