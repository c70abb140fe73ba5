#include "checks/management/GuardedLookups.h"

namespace NTVXANAL {

using NQELZARN20::TZARNException;

boost::optional<TInstanceList> QueryInstancesUnlessMissing(
    const TNamespacePtr& cimNamespace, const std::string& className,
    const NQELZARN20::TCIMContext& queryContext, const std::string& missingLine) {
  TClassPtr cimClass;
  try {
    cimClass = LookUpClass(cimNamespace, className, queryContext);
  } catch (const TZARNException& error) {
    if (!missingLine.empty()) ReportFinding(kLevelError, missingLine);
    if (error.GetStatusCode() != NQELZARN20::kZARNStatusNotAvailable) throw TZARNException(error);
    return boost::none;
  }
  return EnumerateInstances(cimClass);
}

boost::optional<NQELZARN20::TCIMValue> ReadPropertyUnlessMissing(const TInstancePtr& instance,
                                                                 const std::string& name,
                                                                 const std::string& missingLine) {
  TPropertyPtr property;
  try {
    property = LookUpProperty(instance, name);
  } catch (const TZARNException&) {
    ReportFinding(kLevelDiagnostic, missingLine);
    return boost::none;
  }
  return property->GetValue(NQELZARN20::TCIMContext());
}

}  // namespace NTVXANAL
