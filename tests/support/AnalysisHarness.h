#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "support/InventoryBuilder.h"
#include "zarncore/HostCall.h"
#include "zarncore/PluginHost.h"

namespace NTESTS {

// One line the plug-in wrote to the core logger.
struct TLine {
  std::int32_t level;
  std::string text;
  bool operator==(const TLine& other) const { return level == other.level && text == other.text; }
};
std::ostream& operator<<(std::ostream& out, const TLine& line);

// Keeps what the host saw: the logged lines, and the host calls rendered as
// short texts such as "GetProperty disk0.DeviceType" or
// "GetClass QELSG_PCIDevice !15" for a call that threw status 15.
class TRecordingObserver : public NZARNCORE::IHostObserver {
 public:
  void OnLog(std::int32_t level, const std::string& text) override;
  void OnHostCall(const NZARNCORE::THostCall& call) override;

  std::vector<TLine> lines;
  std::vector<std::string> calls;
  // Lines and calls in the order they happened; lines as "[level] text".
  std::vector<std::string> events;
};

const char kAnalysisClass[] = "QELSG_TVXHeavyHittersAnalysis";
// In a class list, stands for a null class reference.
const char kNullClass[] = "";

// What one RunAnalysis left behind.
struct TRunResult {
  std::vector<TLine> lines;
  std::vector<std::string> calls;
  std::vector<std::string> events;
  // What left RunAnalysis, if anything: "TZARNException N" or the type's
  // what() for others.
  std::string exception;
  std::size_t outstandingReferences = 0;
};

// The host side of the unit tests: sets up the root object with a recording
// logger and loads the built plug-in once per process, as the host does.
class TAnalysisHarness {
 public:
  static TAnalysisHarness& Instance();

  TRunResult Run(const TInventoryBuilder& inventory,
                 const std::vector<std::string>& classes = {kAnalysisClass});
  NQELZARN20::IPluginCallbacks& Plugin() const { return m_plugin->Callbacks(); }

 private:
  TAnalysisHarness();

  TRecordingObserver m_observer;
  std::unique_ptr<NZARNCORE::TLoadedPlugin> m_plugin;
};

// Runs the analysis once over the inventory; fails the test when the plug-in
// still holds host references afterwards.
TRunResult Analyse(const TInventoryBuilder& inventory,
                   const std::vector<std::string>& classes = {kAnalysisClass});

}  // namespace NTESTS
