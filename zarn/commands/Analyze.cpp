#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zarn/commands/Analysis.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/InventoryInput.h"
#include "zarn/output/CollectionReport.h"
#include "zarn/output/GatheredOutput.h"
#include "zarn/output/InventorySummary.h"
#include "zarn/output/Terminal.h"
#include "zarncore/Files.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/Text.h"

namespace NZARN {

// A class its collector could not read leaves the analysis as incomplete as
// an error line does.
int ExitStatus(EAnalysisOutcome outcome, bool outputWritten, const TLineCounts& counts,
               bool unreadClasses) {
  if (outcome == EAnalysisOutcome::PluginNotLoaded) return eExitPluginNotLoaded;
  if (outcome == EAnalysisOutcome::Threw) return eExitException;
  if (outcome == EAnalysisOutcome::ReferencesHeld) return eExitReferencesHeld;
  if (!outputWritten) return eExitOutputFailed;
  if (counts.findings + counts.advice != 0) return eExitFindings;
  return counts.errors != 0 || unreadClasses ? eExitErrorsOnly : eExitClean;
}

int MoreImportantStatus(int first, int second) {
  static const int kOrder[] = {
      eExitUsage,        eExitPluginNotLoaded, eExitException,  eExitReferencesHeld,
      eExitOutputFailed, eExitFindings,        eExitErrorsOnly, eExitClean};
  for (const int status : kOrder) {
    if (first == status || second == status) return status;
  }
  return first;
}

int RunAnalyzeOne(const TAnalyzeOptions& options, const TListedInventory& listed, bool partOfRun,
                  TPreloadedPlugin* preloaded, boost::shared_ptr<NZARNCORE::TInventory> loaded) {
  TInventorySummary summary;
  summary.path = listed.path;
  boost::shared_ptr<NZARNCORE::TInventory> inventory = std::move(loaded);
  try {
    if (!inventory) inventory = LoadInventory(listed);
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    summary.status = eExitUsage;
    if (partOfRun) WriteInventorySummary(std::cerr, summary);
    return summary.status;
  }
  if (partOfRun && inventory->Collection()) summary.host = inventory->Collection()->host;
  TOutputWriter writer(std::cout, options.format, options.levels,
                       partOfRun ? JsonlPrefix(summary.path, summary.host) : std::string(),
                       partOfRun ? EFlush::EachLine : EFlush::AtEnd);
  writer.NameConcerned(*inventory);
  if (options.plan.trace) writer.ShowCalls();
  if (!partOfRun && !IsTerminal(stdout)) writer.FormatAside();
  std::optional<TAcknowledgements> acknowledgements;
  if (options.knownFile) {
    const std::string host = inventory->Collection() ? inventory->Collection()->host : "";
    writer.Acknowledge(acknowledgements.emplace(*options.knownFile, host, TodayUtc()));
  }
  const std::string prefix = partOfRun ? summary.path + ": " : std::string();
  const EAnalysisOutcome outcome = AnalyzeInventory(
      inventory, options.plan, writer, [&prefix](const std::string& m) { ReportError(prefix + m); },
      preloaded);
  writer.Finish();
  const bool outputWritten = FinishOutput();
  const bool analyzed = outcome != EAnalysisOutcome::PluginNotLoaded;
  const bool unreadClasses = analyzed && NoteUnreadableClasses(*inventory, prefix) != 0;
  summary.counts = writer.Counts();
  summary.status = ExitStatus(outcome, outputWritten, writer.Counts(), unreadClasses);
  if (acknowledgements && partOfRun) summary.knownUsed = acknowledgements->Used();
  if (acknowledgements && !partOfRun && analyzed)
    NoteUnusedEntries(*options.knownFile, {acknowledgements->Host()}, acknowledgements->Used());
  if (partOfRun) {
    WriteInventorySummary(std::cerr, summary);
  } else if (analyzed && options.format == EFormat::Text) {
    std::cerr << Summary(writer.Counts()) << '\n';
  }
  return summary.status;
}

void NoteUnusedEntries(const TKnownFile& file, const std::set<std::string>& hosts,
                       const std::vector<std::size_t>& used) {
  for (const std::string& text : UnusedTexts(file, hosts, used))
    std::cerr << "zarn: note: " << NZARNCORE::Displayed(file.path + ": " + text) << '\n';
}

// zarn.exe started again for an inventory of several; a Windows folder
// holds no FIFO to guard against. The known file is read once, before
// any inventory.
int RunAnalyze(const TAnalyzeOptions& given) {
  TAnalyzeOptions options = given;
  if (options.known && !options.knownFile) {
    try {
      options.knownFile = std::make_shared<const TKnownFile>(LoadKnownFile(*options.known));
    } catch (const TKnownFileError& error) {
      ReportError(error.what());
      return eExitUsage;
    }
  }
  const std::string& first = options.inventories.front();
  if (options.partOfRun) return RunAnalyzeOne(options, {first, false}, true);
  if (options.inventories.size() == 1 && !NZARNCORE::IsFolder(first)) {
    const TGatheredOutput gathered(std::cout);
    return RunAnalyzeOne(options, {first, false}, false);
  }
  return RunAnalyzeMany(options);
}

}  // namespace NZARN
