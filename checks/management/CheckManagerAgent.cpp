#include <algorithm>
#include <string>

#include <boost/optional.hpp>

#include "checks/management/GuardedLookups.h"
#include "cim/Text.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kServiceClass[] = "QELSG_SystemServiceInfo";
const char kName[] = "Name";
const char kAgentWord[] = "tarvexmanageragent";

const char kServiceClassMissing[] = "Tvxanal: Unabled to get class QELSG_SystemServiceInfo";
const char kNameMissing[] = "tvx analysis: didn't find Name property";
const char kNameNull[] = "tvx analysis: nameValue is null";
const char kNameNotText[] = "tvx analysis: Name wasn't a string";
const char kServiceLine[] = "The tarvex manager system service is:";
const char kAgentFound[] = "The tarvex manager is installed and has tarvex manager agent!";
const char kNoAgent[] =
    "Tarvex manager is installed, but with no agent. For Zarn to collect logs from 4a, 4a-x, 4c, "
    "4d, 3q, the agent needs to be installed";

// Lists the service and tells whether it is the agent. A null or non-text
// name is reported and still listed and searched, as whatever text it gives.
// A service without a name property is skipped, so that an agent listed
// after it is still found.
bool IsAgentService(const TInstancePtr& service) {
  const boost::optional<NQELZARN20::TCIMValue> name =
      ReadPropertyUnlessMissing(service, kName, kNameMissing);
  if (!name) return false;
  if (name->IsNull()) ReportFinding(kLevelDiagnostic, kNameNull);
  if (name->GetType() != NQELZARN20::eCIMTypeString) ReportFinding(kLevelDiagnostic, kNameNotText);
  const std::string text = static_cast<std::string>(*name);
  ReportFinding(kLevelDiagnostic, kServiceLine + text);
  return LowerCase(text).find(kAgentWord) != std::string::npos;
}

}  // namespace

// On a machine with an adapter seen by its PCI identity, looks for the
// management agent among the system services, and says so when the
// management software is installed without it.
void TTvxAnalPluginCallbacks::CheckManagerAgent(TNamespacePtr cimNamespace) {
  AgentInstalled = false;
  if (!PciAdapterFound) return;

  const boost::optional<TInstanceList> services = QueryInstancesUnlessMissing(
      cimNamespace, kServiceClass, MakeQueryContext(), kServiceClassMissing);
  if (!services) return;
  AgentInstalled = std::any_of(services->begin(), services->end(), IsAgentService);
  if (AgentInstalled) ReportFinding(kLevelDiagnostic, kAgentFound);

  if (ManagerInstalled && !AgentInstalled) ReportFinding(kLevelFinding, kNoAgent);
}

}  // namespace NTVXANAL
