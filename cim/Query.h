#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "host/Zarn.h"

namespace NTVXANAL {

typedef boost::shared_ptr<NQELZARN20::ICIMNamespace> TNamespacePtr;
typedef boost::shared_ptr<NQELZARN20::ICIMClass> TClassPtr;
typedef boost::shared_ptr<NQELZARN20::ICIMInstance> TInstancePtr;
typedef boost::shared_ptr<NQELZARN20::ICIMProperty> TPropertyPtr;
typedef std::vector<TInstancePtr> TInstanceList;

using NQELZARN20::kLevelAdvice;
using NQELZARN20::kLevelDiagnostic;
using NQELZARN20::kLevelError;
using NQELZARN20::kLevelFinding;

// The line that says a check, or the whole pass, ended at a class or
// property the host could not deliver.
const char kClassOrPropertyMissingLine[] = "Tvxanal: Error getting class or property";

// The context every class lookup gets: it names the plug-in namespace.
NQELZARN20::TCIMContext MakeQueryContext();

// Looks a class up by name; the host throws TZARNException when it cannot
// deliver it.
TClassPtr LookUpClass(const TNamespacePtr& cimNamespace, const std::string& className,
                      const NQELZARN20::TCIMContext& queryContext);

// Every instance of the class, in the order the host delivers them.
TInstanceList EnumerateInstances(const TClassPtr& cimClass);

// LookUpClass, then EnumerateInstances.
TInstanceList QueryInstances(const TNamespacePtr& cimNamespace, const std::string& className,
                             const NQELZARN20::TCIMContext& queryContext);

// Looks a property up by name; the host throws TZARNException when the
// instance does not have it.
TPropertyPtr LookUpProperty(const TInstancePtr& instance, const std::string& name);

// A copy of the property's value; the property itself is let go at once.
NQELZARN20::TCIMValue ReadProperty(const TInstancePtr& instance, const std::string& name);

// Writes one whole line to the core logger.
void ReportFinding(std::int32_t level, const std::string& line);

}  // namespace NTVXANAL
