#include <algorithm>

#include <boost/make_shared.hpp>

#include "host/Plugin.h"
#include "host/ZARNException.h"

namespace NQELZARN20 {

// The interfaces' destructors live here, so their type information has one
// home in the host core and casts and catches work across library borders.
IPluginCallbacks::~IPluginCallbacks() = default;
IPluginBasicQueryCallbacks::~IPluginBasicQueryCallbacks() = default;

TPluginManagerProvider::TPluginManagerProvider(IPluginCallbacks* plugin) : m_plugin(plugin) {}

IPluginCallbacks* TPluginManagerProvider::GetPlugin() const { return m_plugin; }

TPluginManagerNamespace::TPluginManagerNamespace() = default;
TPluginManagerNamespace::~TPluginManagerNamespace() = default;

// The manager holds plug-ins, not CIM classes.
boost::shared_ptr<ICIMClass> TPluginManagerNamespace::GetClass(const std::string& /*name*/,
                                                               TCIMContext /*context*/) {
  throw TZARNException(kZARNStatusNotAvailable);
}

TPluginManagerProvider* TPluginManagerNamespace::RegisterPlugin(IPluginCallbacks* plugin) {
  if (plugin == nullptr) throw TZARNException(kZARNStatusBadArgument);
  m_providers.push_back(boost::make_shared<TPluginManagerProvider>(plugin));
  return m_providers.back().get();
}

std::vector<IPluginCallbacks*> TPluginManagerNamespace::GetRegisteredPlugins() const {
  std::vector<IPluginCallbacks*> plugins;
  for (const auto& provider : m_providers) plugins.push_back(provider->GetPlugin());
  return plugins;
}

void TPluginManagerNamespace::UnregisterPlugin(IPluginCallbacks* plugin) {
  m_providers.erase(std::remove_if(m_providers.begin(), m_providers.end(),
                                   [plugin](const boost::shared_ptr<TPluginManagerProvider>& p) {
                                     return p->GetPlugin() == plugin;
                                   }),
                    m_providers.end());
}

}  // namespace NQELZARN20
