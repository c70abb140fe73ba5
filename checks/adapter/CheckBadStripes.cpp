#include "checks/adapter/ScsiController.h"
#include "cim/Text.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kBadStripeClass[] = "QELSG_BadStripeData";
const char kLogicalDrive[] = "LogicalDrive";
const char kNumBadStripes[] = "NumBadStripes";

const char kLineStart[] = "Logical drive ";
const char kLineController[] = " on controller ";
const char kLineCount[] = " has ";
const char kLineEnd[] = " bad stripes";

}  // namespace

// Reports every logical drive that has bad stripes.
void TTvxAnalPluginCallbacks::CheckBadStripes(TNamespacePtr cimNamespace) {
  const TInstanceList records = QueryInstances(cimNamespace, kBadStripeClass, MakeQueryContext());
  for (const TInstancePtr& record : records) {
    const NQELZARN20::TCIMValue controller = ReadProperty(record, kControllerNum);
    if (controller.IsNull()) continue;
    const NQELZARN20::TCIMValue drive = ReadProperty(record, kLogicalDrive);
    if (drive.IsNull()) continue;
    const NQELZARN20::TCIMValue count = ReadProperty(record, kNumBadStripes);
    if (count.IsNull()) continue;

    // The line quotes the count as the collector wrote it, not the number.
    const std::string countText = count.ToString(10);
    if (ReadInteger(countText) <= 0) continue;
    ReportFinding(kLevelFinding, MessagePrefix + kLineStart + drive.ToString(10) + kLineController +
                                     controller.ToString(10) + kLineCount + countText + kLineEnd);
  }
}

}  // namespace NTVXANAL
