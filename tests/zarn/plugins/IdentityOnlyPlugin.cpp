// A plug-in object without an analysis entry: the host must refuse it.
#include <cstdint>
#include <string>

#include <boost/pointer_cast.hpp>

#include "host/Zarn.h"

namespace {

using namespace NQELZARN20;

class TIdentityOnlyPlugin : public IPluginCallbacks {
 public:
  TIdentityOnlyPlugin() {
    boost::dynamic_pointer_cast<TPluginManagerNamespace>(TRootObject::GetPluginManager())
        ->RegisterPlugin(this);
  }

  std::int32_t GetPluginType() override { return 1; }
  std::string GetPluginName() override { return "Identity only"; }
  std::string GetPluginVersion() override { return "1.0"; }
  std::string GetInterfaceVersion() override { return "1.0"; }
  void Destroy() override { delete this; }
  void FirstHook() override {}
  void SecondHook() override {}
};

__attribute__((constructor)) void AttachToProcess() { new TIdentityOnlyPlugin(); }

}  // namespace
