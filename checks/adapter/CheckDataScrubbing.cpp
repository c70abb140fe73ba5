#include "checks/adapter/ScsiController.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kDataScrubbing[] = "DataScrubbing";

const char kScrubbingDisabled[] = "Disabled";
const char kScrubbingNo[] = "No";

const char kLineStart[] = "Data scrubbing for controller number ";
const char kLineType[] = " controller type ";
const char kLineEnd[] = " is disabled";

}  // namespace

// Reports every controller on which data scrubbing is switched off.
void TTvxAnalPluginCallbacks::CheckDataScrubbing(TNamespacePtr cimNamespace) {
  const TInstanceList controllers =
      QueryInstances(cimNamespace, kControllerClass, MakeQueryContext());
  for (const TInstancePtr& controller : controllers) {
    const NQELZARN20::TCIMValue type = ReadProperty(controller, kControllerType);
    if (type.IsNull()) continue;
    const NQELZARN20::TCIMValue number = ReadProperty(controller, kControllerNum);
    if (number.IsNull()) continue;
    const NQELZARN20::TCIMValue scrubbing = ReadProperty(controller, kDataScrubbing);
    if (scrubbing.IsNull()) continue;

    const std::string setting = scrubbing.ToString(10);
    if (setting != kScrubbingDisabled && setting != kScrubbingNo) continue;
    ReportFinding(kLevelFinding, MessagePrefix + kLineStart + number.ToString(10) + kLineType +
                                     type.ToString(10) + kLineEnd);
  }
}

}  // namespace NTVXANAL
