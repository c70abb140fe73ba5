#include "zarncore/PluginHost.h"

#include <algorithm>
#include <vector>

#include <boost/pointer_cast.hpp>

#include "host/RootObject.h"
#include "zarncore/LibraryImage.h"

#if defined(_WIN32)
#include <windows.h>

#include "zarncore/WindowsText.h"
#else
#include <dlfcn.h>
#endif

namespace NZARNCORE {

using NQELZARN20::IPluginCallbacks;
using NQELZARN20::TPluginManagerNamespace;

namespace {

#if defined(_WIN32)
// Says what went wrong in the same shape as on Linux: the path, then why.
void* OpenLibrary(const std::string& path) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    const DWORD error = GetLastError();
    throw TPluginLoadError("cannot load plug-in: " + path +
                           ": cannot open: " + SystemMessage(error, "the library"));
  }
  return reinterpret_cast<void*>(module);
}

void CloseLibrary(void* library) { FreeLibrary(reinterpret_cast<HMODULE>(library)); }
#else
void* OpenLibrary(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) throw TPluginLoadError("cannot load plug-in: " + std::string(dlerror()));
  return library;
}

void CloseLibrary(void* library) { dlclose(library); }
#endif

boost::shared_ptr<TPluginManagerNamespace> PluginManager() {
  auto manager = boost::dynamic_pointer_cast<TPluginManagerNamespace>(
      NQELZARN20::TRootObject::GetPluginManager());
  if (!manager) throw TPluginLoadError("the host's plug-in manager cannot register plug-ins");
  return manager;
}

std::vector<IPluginCallbacks*> RegisteredSince(const TPluginManagerNamespace& manager,
                                               const std::vector<IPluginCallbacks*>& before) {
  std::vector<IPluginCallbacks*> added;
  for (IPluginCallbacks* plugin : manager.GetRegisteredPlugins())
    if (std::find(before.begin(), before.end(), plugin) == before.end()) added.push_back(plugin);
  return added;
}

}  // namespace

TPluginLoadError::TPluginLoadError(const std::string& what) : std::runtime_error(what) {}
TPluginLoadError::~TPluginLoadError() = default;

TLoadedPlugin::TLoadedPlugin(const std::string& path)
    : m_library(nullptr), m_manager(PluginManager()), m_callbacks(nullptr), m_analysis(nullptr) {
  const std::vector<IPluginCallbacks*> before = m_manager->GetRegisteredPlugins();
  if (const std::optional<std::string> problem = CutShortLibrary(path))
    throw TPluginLoadError("cannot load plug-in: " + path + ": " + *problem);
  m_library = OpenLibrary(path);
  const std::vector<IPluginCallbacks*> added = RegisteredSince(*m_manager, before);
  if (added.size() == 1) {
    m_callbacks = added.front();
    m_analysis = dynamic_cast<NQELZARN20::IPluginBasicQueryCallbacks*>(m_callbacks);
    if (m_analysis != nullptr) return;
  }
  for (IPluginCallbacks* plugin : added) {
    m_manager->UnregisterPlugin(plugin);
    plugin->Destroy();
  }
  CloseLibrary(m_library);
  if (added.empty()) throw TPluginLoadError("plug-in " + path + " registered nothing");
  if (added.size() > 1)
    throw TPluginLoadError("plug-in " + path + " registered " + std::to_string(added.size()) +
                           " objects; one was expected");
  throw TPluginLoadError("plug-in " + path + " has no analysis entry");
}

TLoadedPlugin::~TLoadedPlugin() {
  m_manager->UnregisterPlugin(m_callbacks);
  m_callbacks->Destroy();
  CloseLibrary(m_library);
}

}  // namespace NZARNCORE
