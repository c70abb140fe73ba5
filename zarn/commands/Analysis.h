#pragma once

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zarn/commands/HostSession.h"
#include "zarncore/HostCall.h"
#include "zarncore/Inventory.h"

namespace NZARN {

// What to run over an inventory.
struct TAnalysisPlan {
  std::string plugin;
  std::vector<std::string> classes;
  int runs = 1;
  // The observer sees every host call with its names; otherwise only those
  // that name an instance, to tell which instance a logged line concerns.
  bool trace = false;
};

// How an analysis ended.
enum class EAnalysisOutcome { PluginNotLoaded, Completed, Threw, ReferencesHeld };

// Loads the plug-in in a host session of its own and runs its analysis over
// the inventory, until the first run that goes wrong; the observer sees what
// the plug-in logs. Each problem goes to report as one message, such as
// "run 2: exception left RunAnalysis: status 22: status 22".
EAnalysisOutcome AnalyzeInventory(const boost::shared_ptr<NZARNCORE::TInventory>& inventory,
                                  const TAnalysisPlan& plan, NZARNCORE::IHostObserver& observer,
                                  const TErrorSink& report);

}  // namespace NZARN
