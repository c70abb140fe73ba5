#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "host/CIM.h"
#include "host/ZarnApi.h"

namespace NQELZARN20 {

// Identity and lifetime of a plug-in object; the view the plug-in registers.
class ZARN_API IPluginCallbacks {
 public:
  virtual ~IPluginCallbacks();
  virtual std::int32_t GetPluginType() = 0;
  virtual std::string GetPluginName() = 0;
  virtual std::string GetPluginVersion() = 0;
  virtual std::string GetInterfaceVersion() = 0;
  virtual void Destroy() = 0;
  virtual void FirstHook() = 0;
  virtual void SecondHook() = 0;
};

// The analysis entry of a plug-in; the host reaches it from the registered
// IPluginCallbacks view by dynamic_cast.
class ZARN_API IPluginBasicQueryCallbacks {
 public:
  virtual ~IPluginBasicQueryCallbacks();
  virtual void RunAnalysis(boost::shared_ptr<ICIMNamespace> cimNamespace,
                           const std::vector<boost::shared_ptr<ICIMClass> >& classes) = 0;
};

// The host's record of one registered plug-in.
class ZARN_API TPluginManagerProvider {
 public:
  explicit TPluginManagerProvider(IPluginCallbacks* plugin);
  IPluginCallbacks* GetPlugin() const;

 private:
  IPluginCallbacks* m_plugin;
};

// The plug-in manager keeps every registered plug-in object until the host
// destroys it.
class ZARN_API TPluginManagerNamespace : public ICIMNamespace {
 public:
  TPluginManagerNamespace();
  ~TPluginManagerNamespace() override;
  boost::shared_ptr<ICIMClass> GetClass(const std::string& name, TCIMContext context) override;
  TPluginManagerProvider* RegisterPlugin(IPluginCallbacks* plugin);
  // The plug-ins registered so far, oldest first.
  std::vector<IPluginCallbacks*> GetRegisteredPlugins() const;
  // Forgets a plug-in, as the host does once it has destroyed it.
  void UnregisterPlugin(IPluginCallbacks* plugin);

 private:
  std::vector<boost::shared_ptr<TPluginManagerProvider> > m_providers;
};

}  // namespace NQELZARN20
