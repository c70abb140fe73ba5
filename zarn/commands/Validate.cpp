#include <algorithm>
#include <cstddef>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "zarn/output/CollectionReport.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/InventoryInput.h"
#include "zarn/TextEncoding.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/PluginHost.h"

namespace NZARN {

using NZARNCORE::TInventory;

namespace {

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

std::string OperatingSystemType(const TInventory& inventory) {
  if (inventory.OperatingSystemType()) return std::to_string(*inventory.OperatingSystemType());
  if (inventory.OperatingSystemTypeFault()) {
    return "GetOperatingSystemType throws status " +
           std::to_string(*inventory.OperatingSystemTypeFault());
  }
  return "not recorded";
}

std::string ClassDetails(const TInventory::TClass& cls) {
  std::ostringstream details;
  details << Counted(cls.instances.size(), "instance", "instances");
  if (cls.fault == NZARNCORE::EClassFault::Lookup) {
    details << ", GetClass throws status " << cls.faultStatus;
  } else if (cls.fault == NZARNCORE::EClassFault::Enumerate) {
    details << ", EnumerateInstances throws status " << cls.faultStatus;
  }
  if (cls.propertyFaults != 0)
    details << ", " << Counted(cls.propertyFaults, "property fault", "property faults");
  return details.str();
}

void PrintClasses(const TInventory& inventory) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < inventory.ClassCount(); ++i) {
    width = std::max(width, Displayed(inventory.Class(i).name).size());
  }
  for (std::size_t i = 0; i < inventory.ClassCount(); ++i) {
    const TInventory::TClass& cls = inventory.Class(i);
    std::cout << "  " << std::left << std::setw(static_cast<int>(width)) << Displayed(cls.name)
              << "  " << ClassDetails(cls) << '\n';
  }
}

void PrintInventorySummary(const std::string& path, const TInventory& inventory) {
  std::cout << Displayed(path) << ": valid inventory\n"
            << "operating-system type: " << OperatingSystemType(inventory) << '\n'
            << Counted(inventory.ClassCount(), "class", "classes") << ", "
            << Counted(inventory.InstanceCount(), "instance", "instances") << ", "
            << Counted(inventory.AssociationCount(), "association", "associations") << '\n';
  PrintClasses(inventory);
}

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

int RunValidate(const std::string& inventory) {
  try {
    const boost::shared_ptr<TInventory> loaded = LoadInventoryArgument(inventory);
    PrintInventorySummary(InventoryName(inventory), *loaded);
    PrintCollection(std::cout, *loaded);
    return FinishOutput() ? eExitClean : eExitOutputFailed;
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    return eExitUsage;
  }
}

int RunPlugins(const std::string& plugin) {
  // Whatever the plug-in logs while loading goes to stderr, apart from the identity.
  TOutputWriter writer(std::cerr, EFormat::Text, boost::none);
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
