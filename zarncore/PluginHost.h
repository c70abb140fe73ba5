#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include <boost/shared_ptr.hpp>

#include "host/Plugin.h"
#include "host/ZarnApi.h"

namespace NZARNCORE {

class ZARN_API TPluginLoadError : public std::runtime_error {
 public:
  explicit TPluginLoadError(const std::string& what);
  ~TPluginLoadError() override;
};

// A plug-in library loaded into the process and the object it registered.
// Destruction destroys the plug-in object, then unloads the library.
class ZARN_API TLoadedPlugin {
 public:
  // Loads the library at path; the root object must be set up with a
  // TPluginManagerNamespace. Throws TPluginLoadError when the library cannot
  // be loaded, registers nothing, or its object has no analysis entry.
  explicit TLoadedPlugin(const std::string& path);
  ~TLoadedPlugin();
  TLoadedPlugin(const TLoadedPlugin&) = delete;
  TLoadedPlugin& operator=(const TLoadedPlugin&) = delete;

  NQELZARN20::IPluginCallbacks& Callbacks() const { return *m_callbacks; }
  NQELZARN20::IPluginBasicQueryCallbacks& Analysis() const { return *m_analysis; }

 private:
  void* m_library;
  boost::shared_ptr<NQELZARN20::TPluginManagerNamespace> m_manager;
  NQELZARN20::IPluginCallbacks* m_callbacks;
  NQELZARN20::IPluginBasicQueryCallbacks* m_analysis;
};

}  // namespace NZARNCORE
