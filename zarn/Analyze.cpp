#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "host/CIM.h"
#include "zarn/CollectionRecord.h"
#include "zarn/Commands.h"
#include "zarn/HostSession.h"
#include "zarn/InventoryInput.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/PluginHost.h"
#include "zarncore/Repository.h"

namespace NZARN {

using NZARNCORE::TRepository;

namespace {

enum class ERunOutcome { Completed, Threw, ReferencesHeld };

boost::shared_ptr<NZARNCORE::TInventory> LoadInventory(const std::string& path) {
  try {
    return LoadInventoryArgument(path);
  } catch (const NZARNCORE::TInventoryError& error) {
    ReportError(error.what());
    return nullptr;
  }
}

std::string RunLabel(int run) { return "run " + std::to_string(run) + ": "; }

// Calls RunAnalysis once; false when an exception left it. The class list
// dies before this returns, so the references left afterwards are the
// plug-in's.
bool CallRunAnalysis(NQELZARN20::IPluginBasicQueryCallbacks& analysis, TRepository& repository,
                     const std::vector<std::string>& classNames, int run) {
  try {
    std::vector<boost::shared_ptr<NQELZARN20::ICIMClass> > classes;
    for (const std::string& name : classNames) classes.push_back(repository.MakeClass(name));
    analysis.RunAnalysis(repository.OpenNamespace(), classes);
    return true;
  } catch (...) {
    ReportError(RunLabel(run) + "exception left RunAnalysis: " + DescribeCurrentException());
    return false;
  }
}

ERunOutcome RunOnce(NQELZARN20::IPluginBasicQueryCallbacks& analysis, TRepository& repository,
                    const std::vector<std::string>& classNames, int run) {
  const bool returned = CallRunAnalysis(analysis, repository, classNames, run);
  const std::size_t held = repository.OutstandingReferences();
  if (held != 0) {
    ReportError(RunLabel(run) + "the plug-in still holds " + std::to_string(held) +
                " host reference" + (held == 1 ? "" : "s") + " after RunAnalysis");
  }
  if (!returned) return ERunOutcome::Threw;
  return held == 0 ? ERunOutcome::Completed : ERunOutcome::ReferencesHeld;
}

// Runs until the first run that goes wrong: what follows it would analyse a
// plug-in in an unknown state.
ERunOutcome RunAll(const TAnalyzeOptions& options, NZARNCORE::TLoadedPlugin& plugin,
                   TRepository& repository) {
  for (int run = 1; run <= options.runs; ++run) {
    const ERunOutcome outcome = RunOnce(plugin.Analysis(), repository, options.classes, run);
    if (outcome != ERunOutcome::Completed) return outcome;
  }
  return ERunOutcome::Completed;
}

// A class its collector could not read leaves the analysis as incomplete as
// an error line does.
int ExitStatus(ERunOutcome outcome, bool outputWritten, const TLineCounts& counts,
               bool unreadClasses) {
  if (outcome == ERunOutcome::Threw) return eExitException;
  if (outcome == ERunOutcome::ReferencesHeld) return eExitReferencesHeld;
  if (!outputWritten) return eExitOutputFailed;
  if (counts.findings + counts.advice != 0) return eExitFindings;
  return counts.errors != 0 || unreadClasses ? eExitErrorsOnly : eExitClean;
}

}  // namespace

int RunAnalyze(const TAnalyzeOptions& options) {
  const boost::shared_ptr<NZARNCORE::TInventory> inventory = LoadInventory(options.inventory);
  if (!inventory) return eExitUsage;
  TOutputWriter writer(std::cout, options.format, options.levels);
  THostSession session(writer);
  TRepository repository(inventory);
  const std::unique_ptr<NZARNCORE::TLoadedPlugin> plugin = LoadPlugin(options.plugin);
  if (!plugin) return eExitPluginNotLoaded;
  if (options.trace) repository.SetCallObserver(&writer);
  const ERunOutcome outcome = RunAll(options, *plugin, repository);
  const bool outputWritten = FinishOutput();
  const bool unreadClasses = NoteUnreadableClasses(*inventory) != 0;
  if (options.format == EFormat::Text) std::cerr << Summary(writer.Counts()) << '\n';
  return ExitStatus(outcome, outputWritten, writer.Counts(), unreadClasses);
}

}  // namespace NZARN
