#include "collectors/Collector.h"

namespace NZARNCOLLECT {

namespace {
const char kNoCollector[] = "this system has no collector yet; collect on Linux";
}  // namespace

TCollectedInventory CollectMachine(const boost::optional<std::string>&) {
  throw TCollectError(kNoCollector);
}

}  // namespace NZARNCOLLECT
