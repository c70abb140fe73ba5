#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarncore/PluginHost.h"
#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Displayed;

namespace {

// Asks every question before anything is printed, so a plug-in that fails
// to answer leaves no half-printed identity.
std::string Identity(const std::string& path, NQELZARN20::IPluginCallbacks& plugin) {
  std::ostringstream identity;
  identity << "path:              " << Displayed(path) << '\n'
           << "name:              " << Displayed(plugin.GetPluginName()) << '\n'
           << "plug-in version:   " << Displayed(plugin.GetPluginVersion()) << '\n'
           << "interface version: " << Displayed(plugin.GetInterfaceVersion()) << '\n'
           << "type:              " << plugin.GetPluginType() << '\n';
  return identity.str();
}

}  // namespace

int RunPlugins(const std::string& plugin) {
  // Whatever the plug-in logs while loading goes to stderr, apart from the identity.
  TOutputWriter writer(std::cerr, EFormat::Text, std::nullopt);
  THostSession session(writer);
  const std::unique_ptr<NZARNCORE::TLoadedPlugin> loaded = LoadPlugin(plugin);
  if (!loaded) return eExitPluginNotLoaded;
  try {
    std::cout << Identity(plugin, loaded->Callbacks());
    return FinishOutput() ? eExitClean : eExitOutputFailed;
  } catch (...) {
    ReportError("the plug-in failed to tell its identity: " + DescribeCurrentException());
    return eExitException;
  }
}

}  // namespace NZARN
