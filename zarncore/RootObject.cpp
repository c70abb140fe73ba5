#include "zarncore/HostRoot.h"

#include "host/RootObject.h"
#include "host/ZARNException.h"
#include "zarncore/Repository.h"

namespace NZARNCORE {
namespace {

struct TRootServices {
  boost::shared_ptr<NQELZARN20::ICIMNamespace> pluginManager;
  boost::shared_ptr<NQELZARN20::ILogger> coreLogger;
};

TRootServices& Services() {
  static TRootServices services;
  return services;
}

}  // namespace

TCoreLogger::TCoreLogger(IHostObserver& observer) : m_observer(observer) {}

bool TCoreLogger::Log(std::int32_t level, const std::string& text) {
  m_observer.OnLog(level, text);
  return true;
}

void InitialiseRootObject(boost::shared_ptr<NQELZARN20::ICIMNamespace> pluginManager,
                          boost::shared_ptr<NQELZARN20::ILogger> coreLogger) {
  Services() = TRootServices{std::move(pluginManager), std::move(coreLogger)};
}

void ResetRootObject() { Services() = TRootServices(); }

}  // namespace NZARNCORE

namespace NQELZARN20 {

boost::shared_ptr<ICIMNamespace> TRootObject::GetPluginManager() {
  const boost::shared_ptr<ICIMNamespace>& manager = NZARNCORE::Services().pluginManager;
  if (!manager) throw TZARNException(kZARNStatusNotAvailable);
  return manager;
}

boost::shared_ptr<ILogger> TRootObject::GetCoreLogger() {
  const boost::shared_ptr<ILogger>& logger = NZARNCORE::Services().coreLogger;
  if (!logger) throw TZARNException(kZARNStatusNotAvailable);
  return logger;
}

const std::string TCIMSchemaHelper::kContextName = "__ContextName";
const std::string TCIMSchemaHelper::kPluginNSPName = "zarnplug.nsp";

std::uint16_t TCIMSchemaHelper::GetOperatingSystemType(
    boost::shared_ptr<ICIMNamespace> cimNamespace) {
  return NZARNCORE::OperatingSystemTypeOf(*cimNamespace);
}

}  // namespace NQELZARN20
