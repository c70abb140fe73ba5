#pragma once

#include <boost/shared_ptr.hpp>

#include "host/CIM.h"
#include "host/ZarnApi.h"
#include "zarncore/HostCall.h"

namespace NZARNCORE {

// The core logger: hands every line to the observer, unchanged.
class ZARN_API TCoreLogger : public NQELZARN20::ILogger {
 public:
  explicit TCoreLogger(IHostObserver& observer);
  bool Log(std::int32_t level, const std::string& text) override;

 private:
  IHostObserver& m_observer;
};

// Sets up what TRootObject hands out; the host does this before it loads a
// plug-in. Either pointer may be null, which makes its getter throw.
ZARN_API void InitialiseRootObject(boost::shared_ptr<NQELZARN20::ICIMNamespace> pluginManager,
                                   boost::shared_ptr<NQELZARN20::ILogger> coreLogger);
ZARN_API void ResetRootObject();

}  // namespace NZARNCORE
