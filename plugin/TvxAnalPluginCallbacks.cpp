#include "plugin/TvxAnalPluginCallbacks.h"

#include <boost/pointer_cast.hpp>

namespace NTVXANAL {
namespace {

const std::int32_t kPluginType = 1;
const char kPluginName[] = "Tvx Analysis";
const char kPluginVersion[] = "1.0";
const char kInterfaceVersion[] = "1.0";

}  // namespace

// The flags start false although every check that reads one sets it first:
// no path may ever read an undefined flag.
TTvxAnalPluginCallbacks::TTvxAnalPluginCallbacks()
    : PciAdapterFound(false),
      ManagerInstalled(false),
      ControllerFound(false),
      AgentInstalled(false) {
  const boost::shared_ptr<NQELZARN20::ICIMNamespace> root =
      NQELZARN20::TRootObject::GetPluginManager();
  const boost::shared_ptr<NQELZARN20::TPluginManagerNamespace> manager =
      boost::dynamic_pointer_cast<NQELZARN20::TPluginManagerNamespace>(root);
  manager->RegisterPlugin(this);
}

TTvxAnalPluginCallbacks::~TTvxAnalPluginCallbacks() = default;

std::int32_t TTvxAnalPluginCallbacks::GetPluginType() { return kPluginType; }

std::string TTvxAnalPluginCallbacks::GetPluginName() { return kPluginName; }

std::string TTvxAnalPluginCallbacks::GetPluginVersion() { return kPluginVersion; }

std::string TTvxAnalPluginCallbacks::GetInterfaceVersion() { return kInterfaceVersion; }

void TTvxAnalPluginCallbacks::Destroy() { delete this; }

void TTvxAnalPluginCallbacks::FirstHook() {}

void TTvxAnalPluginCallbacks::SecondHook() {}

}  // namespace NTVXANAL
