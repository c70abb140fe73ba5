#include "zarn/commands/Analysis.h"

#include <cstddef>
#include <memory>
#include <unordered_set>

#include "host/CIM.h"
#include "zarncore/PluginHost.h"
#include "zarncore/Repository.h"

namespace NZARN {

using NZARNCORE::TRepository;

namespace {

std::string RunLabel(int run) { return "run " + std::to_string(run) + ": "; }

// Calls RunAnalysis once; false when an exception left it. The class list
// dies before this returns, so the references left afterwards are the
// plug-in's.
bool CallRunAnalysis(NQELZARN20::IPluginBasicQueryCallbacks& analysis, TRepository& repository,
                     const std::vector<std::string>& classNames, int run,
                     const TErrorSink& report) {
  try {
    std::vector<boost::shared_ptr<NQELZARN20::ICIMClass> > classes;
    for (const std::string& name : classNames) classes.push_back(repository.MakeClass(name));
    analysis.RunAnalysis(repository.OpenNamespace(), classes);
    return true;
  } catch (...) {
    report(RunLabel(run) + "exception left RunAnalysis: " + DescribeCurrentException());
    return false;
  }
}

EAnalysisOutcome RunOnce(NQELZARN20::IPluginBasicQueryCallbacks& analysis, TRepository& repository,
                         const std::vector<std::string>& classNames, int run,
                         const TErrorSink& report) {
  const bool returned = CallRunAnalysis(analysis, repository, classNames, run, report);
  const std::size_t held = repository.OutstandingReferences();
  if (held != 0) {
    report(RunLabel(run) + "the plug-in still holds " + std::to_string(held) + " host reference" +
           (held == 1 ? "" : "s") + " after RunAnalysis");
  }
  if (!returned) return EAnalysisOutcome::Threw;
  return held == 0 ? EAnalysisOutcome::Completed : EAnalysisOutcome::ReferencesHeld;
}

// Runs until the first run that goes wrong: what follows it would analyse a
// plug-in in an unknown state.
EAnalysisOutcome RunAll(const TAnalysisPlan& plan, NZARNCORE::TLoadedPlugin& plugin,
                        TRepository& repository, const TErrorSink& report) {
  for (int run = 1; run <= plan.runs; ++run) {
    const EAnalysisOutcome outcome =
        RunOnce(plugin.Analysis(), repository, plan.classes, run, report);
    if (outcome != EAnalysisOutcome::Completed) return outcome;
  }
  return EAnalysisOutcome::Completed;
}

// The observer sees the calls that tell which instance a logged line
// concerns, or every call with --trace.
void ObserveCalls(TRepository& repository, NZARNCORE::IHostObserver& observer,
                  const TAnalysisPlan& plan) {
  repository.SetCallObserver(&observer, plan.trace ? TRepository::ECallDetail::Full
                                                   : TRepository::ECallDetail::InstancesOnly);
}

}  // namespace

std::unique_ptr<TPreloadedPlugin> TPreloadedPlugin::Load(const std::string& path) {
  std::unique_ptr<TPreloadedPlugin> preloaded(new TPreloadedPlugin());
  preloaded->m_plugin = LoadPlugin(path, [](const std::string&) {});
  if (!preloaded->m_plugin) return nullptr;
  // The standard library binds the calls among its own functions at their
  // first use, each a search through every library's symbols. A hash table
  // that grows makes one, which every inventory's load would make again in
  // its child: made here once, it is bound in each.
  std::unordered_set<int>{0};
  return preloaded;
}

EAnalysisOutcome AnalyzeInventory(const boost::shared_ptr<NZARNCORE::TInventory>& inventory,
                                  const TAnalysisPlan& plan, NZARNCORE::IHostObserver& observer,
                                  const TErrorSink& report, TPreloadedPlugin* preloaded) {
  if (preloaded != nullptr) {
    TRepository repository(inventory);
    if (NZARNCORE::TLoadedPlugin* const plugin = preloaded->Lend(observer)) {
      ObserveCalls(repository, observer, plan);
      return RunAll(plan, *plugin, repository, report);
    }
  }
  THostSession session(observer);
  TRepository repository(inventory);
  const std::unique_ptr<NZARNCORE::TLoadedPlugin> plugin = LoadPlugin(plan.plugin, report);
  if (!plugin) return EAnalysisOutcome::PluginNotLoaded;
  ObserveCalls(repository, observer, plan);
  return RunAll(plan, *plugin, repository, report);
}

}  // namespace NZARN
