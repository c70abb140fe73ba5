#include <algorithm>
#include <cstddef>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/InventoryInput.h"
#include "zarn/output/CollectionReport.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Counted;

using NZARNCORE::Displayed;

using NZARNCORE::TInventory;

namespace {

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

}  // namespace

int RunValidate(const std::string& inventory) {
  try {
    // The summary names no value, so none is kept once it is checked.
    const boost::shared_ptr<TInventory> loaded =
        LoadInventory({inventory}, NZARNCORE::EPropertyValues::Dropped);
    PrintInventorySummary(InventoryName(inventory), *loaded);
    PrintCollection(std::cout, *loaded);
    return FinishOutput() ? eExitClean : eExitOutputFailed;
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    return eExitUsage;
  }
}

}  // namespace NZARN
