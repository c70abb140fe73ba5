#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include <boost/shared_ptr.hpp>

#include "zarn/commands/Analysis.h"
#include "zarn/output/CollectionReport.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/InventoryInput.h"
#include "zarn/output/InventorySummary.h"
#include "zarncore/InventoryLoader.h"

namespace NZARN {

namespace {

boost::shared_ptr<NZARNCORE::TInventory> LoadInventory(const std::string& path) {
  try {
    return LoadInventoryArgument(path);
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    return nullptr;
  }
}

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

// One file, or standard input, analysed in this process.
int RunAnalyzeOne(const TAnalyzeOptions& options) {
  const boost::shared_ptr<NZARNCORE::TInventory> inventory =
      LoadInventory(options.inventories.front());
  if (!inventory) return eExitUsage;
  TOutputWriter writer(std::cout, options.format, options.levels);
  const EAnalysisOutcome outcome = AnalyseInventory(inventory, options.plan, writer, ReportError);
  if (outcome == EAnalysisOutcome::PluginNotLoaded) return eExitPluginNotLoaded;
  const bool outputWritten = FinishOutput();
  const bool unreadClasses = NoteUnreadableClasses(*inventory) != 0;
  if (options.format == EFormat::Text) std::cerr << Summary(writer.Counts()) << '\n';
  return ExitStatus(outcome, outputWritten, writer.Counts(), unreadClasses);
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

}  // namespace

int MoreImportantStatus(int first, int second) {
  static const int kOrder[] = {
      eExitUsage,        eExitPluginNotLoaded, eExitException,  eExitReferencesHeld,
      eExitOutputFailed, eExitFindings,        eExitErrorsOnly, eExitClean};
  for (const int status : kOrder) {
    if (first == status || second == status) return status;
  }
  return first;
}

int RunAnalyzeMember(const TAnalyzeOptions& options, const TListedInventory& listed) {
  const std::string& path = listed.path;
  TInventoryRecord record;
  record.path = path;
  boost::shared_ptr<NZARNCORE::TInventory> inventory;
  try {
    inventory = LoadListedInventory(listed);
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    record.status = eExitUsage;
    WriteInventoryRecord(std::cerr, record);
    return record.status;
  }
  if (inventory->Collection()) record.host = inventory->Collection()->host;
  // Each line leaves at once, so that a crash or a kill later loses none.
  TOutputWriter writer(std::cout, options.format, options.levels,
                       RecordPrefix(record.path, record.host), EFlush::EachLine);
  const std::string prefix = path + ": ";
  const EAnalysisOutcome outcome =
      AnalyseInventory(inventory, options.plan, writer,
                       [&prefix](const std::string& m) { ReportError(prefix + m); });
  const bool outputWritten = FinishOutput();
  const bool unreadClasses = outcome != EAnalysisOutcome::PluginNotLoaded &&
                             NoteUnreadableClasses(*inventory, prefix) != 0;
  record.counts = writer.Counts();
  record.status = ExitStatus(outcome, outputWritten, writer.Counts(), unreadClasses);
  WriteInventoryRecord(std::cerr, record);
  return record.status;
}

int RunAnalyze(const TAnalyzeOptions& options) {
  // zarn.exe started again for an inventory of several; a Windows folder
  // holds no FIFO to guard against.
  if (options.partOfRun) return RunAnalyzeMember(options, {options.inventories.front(), false});
  if (options.inventories.size() == 1 && !IsFolder(options.inventories.front()))
    return RunAnalyzeOne(options);
  return RunAnalyzeMany(options);
}

}  // namespace NZARN
