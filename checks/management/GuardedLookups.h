#pragma once

#include <string>

#include <boost/optional.hpp>

#include "cim/Query.h"

namespace NTVXANAL {

// The management checks look classes and properties up under guards of their
// own: a missing piece ends their work, or one device's, instead of the whole
// pass. Only the lookup is guarded; a failure while instances are enumerated
// or a value is taken still goes on to the dispatcher.

// Every instance of the class, or nothing when the host reports the class
// missing (status 15). When the lookup fails, the line (if not empty) is
// written at level 0 whatever the status; any status other than 15 is then
// thrown on as a copy.
boost::optional<TInstanceList> QueryInstancesUnlessMissing(
    const TNamespacePtr& cimNamespace, const std::string& className,
    const NQELZARN20::TCIMContext& queryContext, const std::string& missingLine);

// A copy of the property's value, or nothing when the host cannot deliver
// the property, whatever the status; then the line is written at level 3.
boost::optional<NQELZARN20::TCIMValue> ReadPropertyUnlessMissing(const TInstancePtr& instance,
                                                                 const std::string& name,
                                                                 const std::string& missingLine);

}  // namespace NTVXANAL
