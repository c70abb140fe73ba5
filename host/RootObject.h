#pragma once

#include <cstdint>
#include <string>

#include <boost/shared_ptr.hpp>

#include "host/CIM.h"
#include "host/ZarnApi.h"

namespace NQELZARN20 {

// Entry to the host's process-wide services; the host sets them up before
// it loads any plug-in. Each getter throws TZARNException when they are not
// set up.
class ZARN_API TRootObject {
 public:
  static boost::shared_ptr<ICIMNamespace> GetPluginManager();
  static boost::shared_ptr<ILogger> GetCoreLogger();
};

class ZARN_API TCIMSchemaHelper {
 public:
  // The query-context entry that names the plug-in namespace.
  static const std::string kContextName;
  static const std::string kPluginNSPName;
  // The operating-system type the collectors recorded for the namespace.
  static std::uint16_t GetOperatingSystemType(boost::shared_ptr<ICIMNamespace> cimNamespace);
};

}  // namespace NQELZARN20
