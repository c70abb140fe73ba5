// The interfaces' destructors live here, so their type information has one
// home in the host core and casts and catches work across library borders.
#include "host/CIM.h"
#include "host/Plugin.h"

namespace NQELZARN20 {

ICIMProperty::~ICIMProperty() = default;
ICIMInstance::~ICIMInstance() = default;
ICIMClass::~ICIMClass() = default;
ICIMNamespace::~ICIMNamespace() = default;
ILogger::~ILogger() = default;
IPluginCallbacks::~IPluginCallbacks() = default;
IPluginBasicQueryCallbacks::~IPluginBasicQueryCallbacks() = default;

}  // namespace NQELZARN20
