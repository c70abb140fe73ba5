#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <iterator>
#include <string>

#include <boost/optional.hpp>

#include "checks/adapter/ScsiController.h"
#include "checks/management/AdapterPciIdentities.h"
#include "checks/management/GuardedLookups.h"
#include "cim/Text.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kPciDeviceClass[] = "QELSG_PCIDevice";
const char kProductName[] = "ProductName";

const char kControllerClassMissing[] = "Unabled to get class QELSG_txSCSIProtocolController";
const char kPciDeviceClassMissing[] = "Unabled to get class QELSG_PCIDevice";
const char kProductNameMissing[] = "basic analysis: didn't find ProductName property";

// Where the installed software is listed, and the lower-case word that names
// the management software there.
struct TSoftwareSource {
  const char* className;
  const char* searchWord;
};
const TSoftwareSource kInstalledRpms = {"QELSG_InstalledRPM", "tvxmgr"};
const TSoftwareSource kInstalledApplications = {"QELSG_InstalledApplication", "tarvex manager"};
// Operating-system types whose software comes as RPM packages.
const std::uint16_t kRpmSystemTypes[] = {36, 78, 81};

// No blank between the two sentences: the line is kept as users know it.
const char kAdviceLine[] =
    "A Tarvex adapter is present but Tarvex Manager is not installed."
    "Tarvex Manager may be obtained from the Qel Support site.";
const char kAdviceText[] =
    "\nA Tarvex adapter is present in the system but Tarvex Manager is not installed.\n"
    "It is recommended to install Tarvex Manager before re-running Zarn and submitting the file "
    "to Qel.\n"
    "This will enhance the information contained within the report.\n"
    "Tarvex Manager may be obtained from the Qel Support site.\n";

// The advice is given once for as long as the plug-in stays loaded, however
// many analyses the host runs.
bool ManagerAdviceGiven = false;

typedef std::function<bool(const TInstancePtr&)> TDeviceTest;

// Whether any controller is listed; nothing when the host reports the class
// missing.
boost::optional<bool> HasControllers(const TNamespacePtr& cimNamespace,
                                     const NQELZARN20::TCIMContext& queryContext) {
  const boost::optional<TInstanceList> controllers = QueryInstancesUnlessMissing(
      cimNamespace, kControllerClass, queryContext, kControllerClassMissing);
  if (!controllers) return boost::none;
  return !controllers->empty();
}

// Whether a PCI device passes the test; the walk stops at the first that
// does. Nothing when the host reports the class missing.
boost::optional<bool> HasAdapterDevice(const TNamespacePtr& cimNamespace,
                                       const NQELZARN20::TCIMContext& queryContext,
                                       const TDeviceTest& isAdapter) {
  const boost::optional<TInstanceList> devices = QueryInstancesUnlessMissing(
      cimNamespace, kPciDeviceClass, queryContext, kPciDeviceClassMissing);
  if (!devices) return boost::none;
  return std::any_of(devices->begin(), devices->end(), isAdapter);
}

// A host that cannot tell its operating system counts as type 0.
std::uint16_t OperatingSystemTypeOf(const TNamespacePtr& cimNamespace) {
  try {
    return NQELZARN20::TCIMSchemaHelper::GetOperatingSystemType(cimNamespace);
  } catch (const std::exception&) {
    return 0;
  }
}

const TSoftwareSource& SoftwareSourceOf(const TNamespacePtr& cimNamespace) {
  const std::uint16_t systemType = OperatingSystemTypeOf(cimNamespace);
  const bool rpm = std::find(std::begin(kRpmSystemTypes), std::end(kRpmSystemTypes), systemType) !=
                   std::end(kRpmSystemTypes);
  return rpm ? kInstalledRpms : kInstalledApplications;
}

// Whether an installed product's name holds the search word. Nothing when
// the scan had to end: the class is missing, or a product has no name
// property at all.
boost::optional<bool> HasManager(const TNamespacePtr& cimNamespace,
                                 const NQELZARN20::TCIMContext& queryContext) {
  const TSoftwareSource& source = SoftwareSourceOf(cimNamespace);
  const boost::optional<TInstanceList> products =
      QueryInstancesUnlessMissing(cimNamespace, source.className, queryContext, std::string());
  if (!products) return boost::none;
  for (const TInstancePtr& product : *products) {
    const boost::optional<NQELZARN20::TCIMValue> name =
        ReadPropertyUnlessMissing(product, kProductName, kProductNameMissing);
    if (!name) return boost::none;
    if (name->IsNull()) continue;
    if (LowerCase(static_cast<std::string>(*name)).find(source.searchWord) != std::string::npos)
      return true;
  }
  return false;
}

void GiveAdviceOnce() {
  if (ManagerAdviceGiven) return;
  ManagerAdviceGiven = true;
  ReportFinding(kLevelFinding, kAdviceLine);
  ReportFinding(kLevelAdvice, kAdviceText);
}

}  // namespace

// Looks for a Tarvex adapter, as a controller or by its PCI identity, and
// advises installing the management software when an adapter is there but
// the software is not. Leaves what it found for the agent check of the same
// run; a missing class or product name ends it with the flags found so far.
void TTvxAnalPluginCallbacks::CheckManagerInstalled(TNamespacePtr cimNamespace) {
  ControllerFound = false;
  PciAdapterFound = false;
  ManagerInstalled = false;
  const NQELZARN20::TCIMContext queryContext = MakeQueryContext();

  const boost::optional<bool> controllers = HasControllers(cimNamespace, queryContext);
  if (!controllers) return;
  ControllerFound = *controllers;

  const boost::optional<bool> adapterDevice =
      HasAdapterDevice(cimNamespace, queryContext, [this](const TInstancePtr& device) {
        return std::any_of(AdapterPciIdentities.begin(), AdapterPciIdentities.end(),
                           [this, &device](const TPciIdentity& identity) {
                             return IsAdapterPresent(device, identity.vendorId, identity.deviceId);
                           });
      });
  if (!adapterDevice) return;
  PciAdapterFound = *adapterDevice;
  if (!ControllerFound && !PciAdapterFound) return;

  const boost::optional<bool> manager = HasManager(cimNamespace, queryContext);
  if (!manager) return;
  ManagerInstalled = *manager;
  if (!ManagerInstalled) GiveAdviceOnce();
}

}  // namespace NTVXANAL
