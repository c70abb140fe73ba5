#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <boost/optional.hpp>

#include "zarn/OutputWriter.h"

namespace NZARN {

// Exit statuses, in priority order: analyze exits with the first that
// applies.
enum EExitStatus {
  eExitUsage = 2,            // bad command line or inventory; nothing analysed
  eExitPluginNotLoaded = 4,  // the plug-in could not be loaded or registered nothing
  eExitException = 3,        // an exception left RunAnalysis
  eExitReferencesHeld = 5,   // the plug-in kept host references after a run
  eExitOutputFailed = 7,     // stdout could not be written
  eExitFindings = 1,         // a line at level 100 or 101
  eExitErrorsOnly = 6,       // no finding, but a line at level 0
  eExitClean = 0
};

struct TAnalyzeOptions {
  std::string inventory;
  std::string plugin;
  std::vector<std::string> classes;
  int runs = 1;
  EFormat format = EFormat::Text;
  boost::optional<std::set<std::int32_t>> levels;
  bool trace = false;
};

struct TCollectOptions {
  boost::optional<std::string> root;
  boost::optional<std::string> output;  // none for stdout
};

int RunAnalyze(const TAnalyzeOptions& options);
int RunValidate(const std::string& inventory);
int RunPlugins(const std::string& plugin);
int RunCollect(const TCollectOptions& options);

}  // namespace NZARN
