#pragma once

#include <string>

#include "cim/Query.h"

namespace NTVXANAL {

// Every instance of the result class associated with the instance, in the
// order the host delivers them; a fresh list for each call.
TInstanceList EnumerateAssociatedInstances(const TInstancePtr& instance,
                                           const std::string& resultClass);

}  // namespace NTVXANAL
