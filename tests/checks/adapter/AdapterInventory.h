#pragma once

#include <string>
#include <vector>

#include "support/AnalysisHarness.h"

namespace NTESTS {

// A quiet server whose class `className` the host fails to deliver.
inline TInventoryBuilder QuietServerFailing(const std::string& className,
                                            NZARNCORE::EClassFault where,
                                            NQELZARN20::TZARNStatusCode status) {
  TInventoryBuilder inventory;
  inventory.ClassFault(className, where, status)
      .Add("QELSG_InstalledApplication", {{"ProductName", "Tarvex Manager 6.40"}})
      .OperatingSystemType(18);
  return ListEveryClass(inventory);
}

// The properties asked of one instance, in the order they were asked.
inline std::vector<std::string> PropertiesRead(const TRunResult& result, const std::string& id) {
  const std::string prefix = "GetProperty " + id + ".";
  std::vector<std::string> properties;
  for (const std::string& call : result.calls)
    if (call.rfind(prefix, 0) == 0) properties.push_back(call.substr(prefix.size()));
  return properties;
}

}  // namespace NTESTS
