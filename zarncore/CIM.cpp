// The interfaces' destructors live here, so their type information has one
// home in the host core and casts and catches work across library borders.
#include "host/CIM.h"

namespace NQELZARN20 {

ICIMProperty::~ICIMProperty() = default;
ICIMInstance::~ICIMInstance() = default;
ICIMClass::~ICIMClass() = default;
ICIMNamespace::~ICIMNamespace() = default;
ILogger::~ILogger() = default;

}  // namespace NQELZARN20
