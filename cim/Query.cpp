#include "cim/Query.h"

namespace NTVXANAL {

using NQELZARN20::TCIMContext;

TCIMContext MakeQueryContext() {
  TCIMContext context;
  context[NQELZARN20::TCIMSchemaHelper::kContextName] =
      NQELZARN20::TCIMValue(NQELZARN20::TCIMSchemaHelper::kPluginNSPName);
  return context;
}

TClassPtr LookUpClass(const TNamespacePtr& cimNamespace, const std::string& className,
                      const TCIMContext& queryContext) {
  return cimNamespace->GetClass(className, queryContext);
}

TInstanceList EnumerateInstances(const TClassPtr& cimClass) {
  TInstanceList instances;
  const NQELZARN20::TInstanceCallback callback =
      NQELZARN20::TAddToVectorCallback<NQELZARN20::ICIMInstance>(instances);
  cimClass->EnumerateInstances(callback, true, TCIMContext());
  return instances;
}

TInstanceList QueryInstances(const TNamespacePtr& cimNamespace, const std::string& className,
                             const TCIMContext& queryContext) {
  return EnumerateInstances(LookUpClass(cimNamespace, className, queryContext));
}

TPropertyPtr LookUpProperty(const TInstancePtr& instance, const std::string& name) {
  return instance->GetProperty(name, TCIMContext());
}

NQELZARN20::TCIMValue ReadProperty(const TInstancePtr& instance, const std::string& name) {
  return LookUpProperty(instance, name)->GetValue(TCIMContext());
}

void ReportFinding(std::int32_t level, const std::string& line) {
  NQELZARN20::TRootObject::GetCoreLogger()->Log(level, line);
}

}  // namespace NTVXANAL
