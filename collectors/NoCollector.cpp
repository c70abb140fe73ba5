#include "collectors/Collector.h"

namespace NZARNCOLLECT {

namespace {
const char kNoCollector[] = "this system has no collector yet; collect on Linux or Windows";
}  // namespace

TCollectedInventory CollectMachine(const TCollectSettings&) { throw TCollectError(kNoCollector); }

}  // namespace NZARNCOLLECT
