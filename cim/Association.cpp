#include "cim/Association.h"

namespace NTVXANAL {

TInstanceList EnumerateAssociatedInstances(const TInstancePtr& instance,
                                           const std::string& resultClass) {
  TInstanceList associated;
  const NQELZARN20::TInstanceCallback callback =
      NQELZARN20::TAddToVectorCallback<NQELZARN20::ICIMInstance>(associated);
  // Only the result class narrows the search: any association, either role.
  instance->EnumerateAssociatedInstances(callback, std::string(), resultClass, std::string(),
                                         std::string(), NQELZARN20::TCIMContext());
  return associated;
}

}  // namespace NTVXANAL
