#include "zarn/commands/Report.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include <boost/shared_ptr.hpp>

#include "host/Analysis.h"
#include "zarn/commands/Analysis.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/output/InventorySummary.h"
#include "zarn/report/ReportPage.h"
#include "zarncore/InventoryLoader.h"

namespace NZARN {

namespace {

// The plug-in's own analysis, once.
TAnalysisPlan ReportPlan(const std::string& plugin) {
  TAnalysisPlan plan;
  plan.plugin = plugin;
  plan.classes.push_back(NQELZARN20::kHeavyHittersAnalysisClass);
  return plan;
}

bool HasUnreadClasses(const NZARNCORE::TInventory& inventory) {
  if (!inventory.Collection()) return false;
  for (const NZARNCORE::TCollectedClass& cls : inventory.Collection()->classes) {
    if (!NZARNCORE::ReadInFull(cls.state)) return true;
  }
  return false;
}

// Analyses the inventory into lines; each problem goes to report, and onto
// the page.
TInventoryReport Analysed(const boost::shared_ptr<NZARNCORE::TInventory>& inventory,
                          const std::string& name, const std::string& plugin, TReportLines& lines,
                          const TErrorSink& report) {
  TInventoryReport analysed;
  analysed.name = name;
  analysed.inventory = inventory.get();
  const EAnalysisOutcome outcome =
      AnalyzeInventory(inventory, ReportPlan(plugin), lines, [&](const std::string& message) {
        report(message);
        analysed.problems.push_back(message);
      });
  if (outcome != EAnalysisOutcome::PluginNotLoaded) analysed.lines = &lines;
  analysed.status = ExitStatus(outcome, true, lines.Counts(), HasUnreadClasses(*inventory));
  return analysed;
}

int RunReportOne(const TReportOptions& options) {
  const std::string& argument = options.inventories.front();
  boost::shared_ptr<NZARNCORE::TInventory> inventory;
  try {
    inventory = LoadInventory({argument, false});
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    return eExitUsage;
  }
  TReportLines lines(kShownLines);
  const TInventoryReport report =
      Analysed(inventory, InventoryName(argument), options.plugin, lines, ReportError);
  // Without the plug-in there is nothing to report on.
  if (report.status == eExitPluginNotLoaded) return report.status;
  const int written = WriteDocument(options.output, InventoryPage(report));
  return written != eExitClean ? written : ReportStatus(report.status);
}

// One file, or standard input, is reported on in this process; a folder,
// even of one file, gets an overview.
bool IsOneFile(const std::vector<std::string>& inventories) {
  std::error_code error;
  return inventories.size() == 1 && !std::filesystem::is_directory(inventories.front(), error);
}

}  // namespace

int ReportStatus(int status) {
  return status == eExitFindings || status == eExitErrorsOnly ? eExitClean : status;
}

int RunReportMember(const TReportOptions& options, const TListedInventory& listed) {
  TInventorySummary record;
  record.path = listed.path;
  TReportLines lines(kShownLines);
  TInventoryReport report;
  report.name = listed.path;
  boost::shared_ptr<NZARNCORE::TInventory> inventory;
  try {
    inventory = LoadInventory(listed);
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    report.problems.push_back(error.what());
    report.status = eExitUsage;
  }
  if (inventory) {
    const std::string prefix = listed.path + ": ";
    report = Analysed(inventory, listed.path, options.plugin, lines,
                      [&prefix](const std::string& message) { ReportError(prefix + message); });
    if (inventory->Collection()) record.host = inventory->Collection()->host;
    if (report.lines) record.counts = lines.Counts();
  }
  record.status = report.status;
  const std::string part = InventoryPart(report, 3);
  std::cout.write(part.data(), static_cast<std::streamsize>(part.size()));
  if (!FinishOutput()) record.status = MoreImportantStatus(record.status, eExitOutputFailed);
  WriteInventorySummary(std::cerr, record);
  return record.status;
}

int RunReport(const TReportOptions& options) {
  // zarn.exe started again for an inventory of several.
  if (options.partOfRun) return RunReportMember(options, {options.inventories.front(), false});
  if (IsOneFile(options.inventories)) return RunReportOne(options);
  return RunReportMany(options);
}

}  // namespace NZARN
