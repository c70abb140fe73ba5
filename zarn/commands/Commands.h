#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <optional>

#include "collectors/Collector.h"
#include "zarn/commands/Analysis.h"
#include "zarn/commands/InventoryInput.h"
#include "zarn/known/KnownFile.h"
#include "zarn/output/MonitoringOutput.h"
#include "zarn/output/OutputWriter.h"

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

// Of two exit statuses, the one that comes first in the order above.
int MoreImportantStatus(int first, int second);

// The exit status of the analysis of one inventory; unreadClasses, when its
// collection record has a class not read in full.
int ExitStatus(EAnalysisOutcome outcome, bool outputWritten, const TLineCounts& counts,
               bool unreadClasses);

struct TAnalyzeOptions {
  std::vector<std::string> inventories;
  TAnalysisPlan plan;
  EFormat format = EFormat::Text;
  std::optional<std::set<std::int32_t>> levels;
  std::optional<std::string> known;  // the known file, if any
  // What it holds, once loaded; the inventories of a run share it.
  std::shared_ptr<const TKnownFile> knownFile;
  int jobs = 1;            // inventories analysed at a time, when there are several
  bool partOfRun = false;  // zarn analyses one inventory of several for its parent
};

struct TKnownOptions {
  std::string input = kStandardInput;  // analyze's JSONL
  std::optional<std::string> reason;   // none: left for a person to fill in
  std::optional<std::string> until;    // YYYY-MM-DD, or as reason
  bool anyHost = false;                // entries name no host
};

struct TCollectOptions {
  NZARNCOLLECT::TCollectSettings machine;
  std::optional<std::string> output;  // none for stdout
};

struct TCheckOptions {
  std::optional<std::string> root;
  std::optional<std::string> inventory;  // a file or "-", analysed instead of this machine
  std::string plugin;
  TThresholds thresholds;
  int timeoutSeconds = 10;
  std::optional<std::string> prometheus;  // the file for the figures, if any
  std::optional<std::string> known;       // the known file, if any
  std::optional<std::string> state;       // the file of the events reported, if any
  unsigned maxEventDays = NZARNCOLLECT::kDefaultMaxEventDays;
  bool partOfRun = false;  // zarn does the check's work for its parent
};

// One inventory as a file or standard input, or several (or a folder), each
// in a child process of its own.
int RunAnalyze(const TAnalyzeOptions& options);
// One inventory, in this process: on its own, with the text output's
// summary line; or, partOfRun, as one of several for the parent that runs
// them: its messages and JSONL lines name it, each line leaves at once (so
// that a crash or a kill later loses none), and its summary ends its
// stderr. A plug-in the parent preloaded is analysed with instead of
// loading it again, and an inventory the parent loaded (loaded) is
// analysed instead of loading the file.
int RunAnalyzeOne(const TAnalyzeOptions& options, const TListedInventory& inventory, bool partOfRun,
                  TPreloadedPlugin* preloaded = nullptr,
                  boost::shared_ptr<NZARNCORE::TInventory> loaded = nullptr);
int RunAnalyzeMany(const TAnalyzeOptions& options);
// "zarn: note: known.json: known[2] matched no finding: TEXT" on stderr for
// each entry of the file that applies to one of the hosts analysed and is
// not among used (see UnusedTexts).
void NoteUnusedEntries(const TKnownFile& file, const std::set<std::string>& hosts,
                       const std::vector<std::size_t>& used);
int RunMonitoringCheck(const TCheckOptions& options);
int RunValidate(const std::string& inventory);
// Writes a known file with an entry for each finding and advice of analyze's
// JSONL that is not known yet.
int RunKnown(const TKnownOptions& options);
int RunPlugins(const std::string& plugin);
int RunCollect(const TCollectOptions& options);

// Writes a document whole to the file output names (see WriteWholeFile), or
// to stdout; eExitOutputFailed, with a message, when it could not.
int WriteDocument(const std::optional<std::string>& output, const std::string& text);

}  // namespace NZARN
