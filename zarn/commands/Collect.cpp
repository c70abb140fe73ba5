#include <iostream>
#include <string>

#include "collectors/Collector.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/output/OutputFile.h"

namespace NZARN {

namespace {

const char kCollector[] = "zarn collect";

int WriteFile(const std::string& path, const std::string& text) {
  const std::string failure = WriteWholeFile(path, text);
  if (failure.empty()) return eExitClean;
  ReportError(failure);
  return eExitOutputFailed;
}

int WriteStdout(const std::string& text) {
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  return FinishOutput() ? eExitClean : eExitOutputFailed;
}

}  // namespace

int WriteDocument(const std::optional<std::string>& output, const std::string& text) {
  return output ? WriteFile(*output, text) : WriteStdout(text);
}

int RunCollect(const TCollectOptions& options) {
  NZARNCOLLECT::TCollectedInventory inventory;
  try {
    inventory = NZARNCOLLECT::CollectMachine(options.machine);
  } catch (const NZARNCOLLECT::TCollectError& error) {
    ReportError(error.what());
    return eExitUsage;
  }
  const std::string text = NZARNCOLLECT::InventoryText(
      inventory, NZARNCOLLECT::TCollectorStamp{kCollector, ZARN_VERSION, NZARNCOLLECT::UtcNow()});
  return WriteDocument(options.output, text);
}

}  // namespace NZARN
