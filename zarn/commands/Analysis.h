#pragma once

#include <cstdint>
#include <memory>
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

// A plug-in loaded once by a process that forks a child per inventory:
// each child analyses with its own copy, untouched as loading left it, so
// that it loads nothing again and stays as isolated as if it had. Lines the
// plug-in logs go to the observer of the analysis that runs. A child ends
// without unloading its copy: the process takes it along, and unloading
// would cost a typical inventory's child more than its analysis.
class TPreloadedPlugin : public NZARNCORE::IHostObserver {
 public:
  // Null when the plug-in cannot be loaded; each analysis then tries and
  // says why.
  static std::unique_ptr<TPreloadedPlugin> Load(const std::string& path);

  void OnLog(std::int32_t level, const std::string& text) override {
    m_observer->OnLog(level, text);
  }
  void OnHostCall(const NZARNCORE::THostCall& call) override { m_observer->OnHostCall(call); }

  // The plug-in, once (null after); what it logs goes to observer from
  // now on. It stays this object's.
  NZARNCORE::TLoadedPlugin* Lend(NZARNCORE::IHostObserver& observer) {
    if (m_lent) return nullptr;
    m_lent = true;
    m_observer = &observer;
    return m_plugin.get();
  }

 private:
  TPreloadedPlugin() : m_session(*this) {}

  NZARNCORE::IHostObserver* m_observer = nullptr;
  THostSession m_session;
  std::unique_ptr<NZARNCORE::TLoadedPlugin> m_plugin;
  bool m_lent = false;
};

// How an analysis ended.
enum class EAnalysisOutcome { PluginNotLoaded, Completed, Threw, ReferencesHeld };

// Loads the plug-in in a host session of its own (or takes the one
// preloaded, once) and runs its analysis over the inventory, until the
// first run that goes wrong; the observer sees what the plug-in logs. Each
// problem goes to report as one message, such as "run 2: exception left
// RunAnalysis: status 22: status 22".
EAnalysisOutcome AnalyzeInventory(const boost::shared_ptr<NZARNCORE::TInventory>& inventory,
                                  const TAnalysisPlan& plan, NZARNCORE::IHostObserver& observer,
                                  const TErrorSink& report, TPreloadedPlugin* preloaded = nullptr);

}  // namespace NZARN
