#include <chrono>
#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/shared_ptr.hpp>
#include <optional>

#include "collectors/Collector.h"
#include "host/Analysis.h"
#include "zarn/commands/Analysis.h"
#include "zarn/commands/CheckLines.h"
#include "zarn/commands/Commands.h"
#include "zarn/output/CheckMetrics.h"
#include "zarn/output/MonitoringOutput.h"
#include "zarn/process/ChildProcess.h"
#include "zarn/state/EventsOnce.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Counted;

namespace {

using NQELZARN20::kLevelAdvice;
using NQELZARN20::kLevelDiagnostic;
using NQELZARN20::kLevelError;
using NQELZARN20::kLevelFinding;
using TClock = std::chrono::steady_clock;

const char kServiceName[] = "TVXANAL";
const char kCollector[] = "zarn check";
const char kCollectedName[] = "the collected inventory";
const char kCollectionFailed[] = "the collection failed: ";
const char kInventoryFailed[] = "the inventory could not be loaded: ";
const char kKnownFailed[] = "the known file could not be loaded: ";
const char kCheckFailed[] = "the check failed: ";
const char kNotStarted[] = "the check could not start: ";
const char kEndedAbnormally[] = "the check ended abnormally";
const char kIncomplete[] = ": the plug-in could not look at everything";
const char kRepeated[] = " already reported";

int WriteStateLine(EMonitoringState state, const std::string& summary) {
  std::cout << kServiceName << ' ' << StateName(state) << ": " << SummaryLine(summary) << '\n'
            << std::flush;
  return static_cast<int>(state);
}

// The classes the collector did not read in full, as the check reports them.
struct TUnreadClasses {
  std::vector<std::string> lines;  // "not read: ...", "read in part: ..."
  std::size_t unreadable = 0;
  std::size_t partial = 0;
  // What the machine itself keeps and could not be read: the check did not
  // look at everything there is to see.
  std::vector<std::string> blind;
};

struct TCheckResult {
  EAnalysisOutcome outcome = EAnalysisOutcome::Completed;
  std::vector<std::string> problems;  // why the analysis did not complete
  TLoggedLines lines;
  TUnreadClasses unread;
  double collectSeconds = 0;
  double analyzeSeconds = 0;
  std::size_t repeated = 0;  // event findings left out, reported by an earlier run
  std::string stateNote;     // why --state's file counted as a first run
};

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

// The sources get nine tenths of the time limit, so that a slow one ends as
// a class that timed out, and the analysis and the report still come in
// time.
boost::shared_ptr<NZARNCORE::TInventory> CollectInventory(
    const TCheckOptions& options, TClock::time_point started,
    const std::optional<std::string>& bookmark) {
  NZARNCOLLECT::TCollectSettings settings;
  settings.root = options.root;
  settings.maxEventDays = options.maxEventDays;
  settings.eventBookmark = bookmark;
  settings.deadline = started + std::chrono::milliseconds(options.timeoutSeconds) * 900;
  const NZARNCOLLECT::TCollectedInventory collected = NZARNCOLLECT::CollectMachine(settings);
  const std::string text = NZARNCOLLECT::InventoryText(
      collected, NZARNCOLLECT::TCollectorStamp{kCollector, ZARN_VERSION, NZARNCOLLECT::UtcNow()});
  return NZARNCORE::LoadInventoryText(text, kCollectedName);
}

// The adapter's own records are no blind spot of the check: no collector of
// the machine can read them, and a check that was never OK for that would
// tell the operator nothing.
TUnreadClasses UnreadClasses(const NZARNCORE::TInventory& inventory) {
  TUnreadClasses unread;
  if (!inventory.Collection()) return unread;
  for (const NZARNCORE::TCollectedClass& cls : inventory.Collection()->classes) {
    if (NZARNCORE::ReadInFull(cls.state)) continue;
    const bool partial = cls.state == NZARNCORE::ECollectionState::Partial;
    ++(partial ? unread.partial : unread.unreadable);
    unread.lines.push_back((partial ? "read in part: " : "not read: ") +
                           OutputLine(cls.name + ": " + cls.reason));
    if (!NZARNCOLLECT::OnlyManagementSoftwareReports(cls.name)) {
      unread.blind.push_back(cls.name + (partial ? " was read in part: " : " could not be read: ") +
                             cls.reason);
    }
  }
  return unread;
}

std::string FindingsText(std::size_t findings, std::size_t advice) {
  if (findings + advice == 0) return "no findings";
  std::string text = Counted(findings, "finding", "findings");
  return advice == 0 ? text : text + ", " + std::to_string(advice) + " advice";
}

EMonitoringState StateOf(const TCheckResult& result, const TThresholds& thresholds) {
  const std::size_t findings = result.lines.Count(kLevelFinding);
  const std::size_t advice = result.lines.Count(kLevelAdvice);
  if (result.outcome != EAnalysisOutcome::Completed || result.lines.Count(kLevelError) != 0)
    return EMonitoringState::Unknown;
  if (thresholds.critical && thresholds.critical->Alerts(static_cast<double>(findings)))
    return EMonitoringState::Critical;
  const bool warns = thresholds.warning ? thresholds.warning->Alerts(static_cast<double>(findings))
                                        : findings + advice != 0;
  if (warns) return EMonitoringState::Warning;
  return result.unread.blind.empty() ? EMonitoringState::Ok : EMonitoringState::Unknown;
}

std::string SummaryOf(const TCheckResult& result) {
  std::string summary;
  for (const std::string& problem : result.problems) summary += problem + ", ";
  for (const std::string& blind : result.unread.blind) summary += blind + ", ";
  const std::size_t errors = result.lines.Count(kLevelError);
  if (errors != 0) summary += Counted(errors, "error", "errors") + kIncomplete + ", ";
  summary += FindingsText(result.lines.Count(kLevelFinding), result.lines.Count(kLevelAdvice));
  summary += result.lines.KnownSummary();
  if (result.repeated != 0)
    summary += ", " + Counted(result.repeated, "event finding", "event findings") + kRepeated;
  const TUnreadClasses& unread = result.unread;
  if (unread.unreadable != 0) {
    summary += " (" + Counted(unread.unreadable, "class", "classes") + " could not be read";
    summary += unread.partial != 0 ? ", " + std::to_string(unread.partial) + " read in part)" : ")";
  } else if (unread.partial != 0) {
    summary += " (" + Counted(unread.partial, "class", "classes") + " read in part)";
  }
  return summary;
}

std::string PerfData(const TCheckResult& result, const TThresholds& thresholds) {
  const TPerfValue values[] = {
      {"findings", std::to_string(result.lines.Count(kLevelFinding)), "",
       thresholds.warning ? RangeText(*thresholds.warning) : "0",
       thresholds.critical ? RangeText(*thresholds.critical) : "", "0"},
      {"advice", std::to_string(result.lines.Count(kLevelAdvice)), "", "", "", "0"},
      {"errors", std::to_string(result.lines.Count(kLevelError)), "", "", "", "0"},
      {"diagnostics", std::to_string(result.lines.Count(kLevelDiagnostic)), "", "", "", "0"},
      {"collect time", CSeconds(result.collectSeconds), "s", "", "", "0"},
      {"analyse time", CSeconds(result.analyzeSeconds), "s", "", "", "0"}};
  std::string perfData;
  for (const TPerfValue& value : values) {
    perfData += (perfData.empty() ? "" : " ") + PerfText(value);
    if (value.label == "advice" && result.lines.KnownPerfValue())
      perfData += " " + PerfText(*result.lines.KnownPerfValue());
  }
  return perfData;
}

int WriteReport(const TCheckResult& result, const TThresholds& thresholds) {
  const EMonitoringState state = StateOf(result, thresholds);
  std::cout << kServiceName << ' ' << StateName(state) << ": " << SummaryLine(SummaryOf(result))
            << " | " << PerfData(result, thresholds) << '\n';
  if (!result.stateNote.empty()) std::cout << "note: " << OutputLine(result.stateNote) << '\n';
  for (const std::string& line : result.lines.LongOutput()) std::cout << line << '\n';
  for (const std::string& line : result.unread.lines) std::cout << line << '\n';
  for (const std::string& line : result.lines.UnusedLines()) std::cout << line << '\n';
  std::cout.flush();
  return static_cast<int>(state);
}

TRunFigures FiguresOf(const TCheckResult& result, const NZARNCORE::TInventory& inventory) {
  return TRunFigures{result.lines.Count(kLevelFinding),
                     result.lines.Count(kLevelAdvice),
                     result.lines.Count(kLevelError),
                     result.lines.Count(kLevelDiagnostic),
                     result.lines.CountKnown(),
                     result.lines.FindingsByClass(),
                     result.collectSeconds,
                     result.analyzeSeconds,
                     TriedClasses(inventory)};
}

// The inventory to analyse: one collected elsewhere (--inventory), or this
// machine's, collected now. Throws with what went wrong, prefixed so.
boost::shared_ptr<NZARNCORE::TInventory> InventoryToCheck(
    const TCheckOptions& options, TClock::time_point started,
    const std::optional<std::string>& bookmark) {
  if (options.inventory) {
    try {
      return LoadInventory(TListedInventory{*options.inventory, false});
    } catch (const NZARNCORE::TInventoryError& error) {
      throw std::runtime_error(kInventoryFailed + std::string(error.what()));
    }
  }
  try {
    return CollectInventory(options, started, bookmark);
  } catch (const std::exception& error) {
    throw std::runtime_error(kCollectionFailed + std::string(error.what()));
  }
}

std::string HostOf(const NZARNCORE::TInventory& inventory) {
  return inventory.Collection() ? inventory.Collection()->host : std::string();
}

// Collects this machine, or loads the inventory given, and analyses it, in
// this process.
int CheckHere(const TCheckOptions& options) {
  TCheckResult result;
  const TClock::time_point started = TClock::now();
  std::optional<TEventsOnce> events;
  if (options.state) events.emplace(*options.state);
  boost::shared_ptr<NZARNCORE::TInventory> inventory;
  try {
    inventory = InventoryToCheck(options, started, events ? events->Bookmark() : std::nullopt);
  } catch (const std::exception& error) {
    return WriteStateLine(EMonitoringState::Unknown, error.what());
  }
  std::optional<TKnownFile> known;
  std::optional<TAcknowledgements> acknowledgements;
  try {
    if (options.known) known = LoadKnownFile(*options.known);
  } catch (const TKnownFileError& error) {
    return WriteStateLine(EMonitoringState::Unknown, kKnownFailed + std::string(error.what()));
  }
  if (known)
    result.lines.Acknowledge(acknowledgements.emplace(*known, HostOf(*inventory), TodayUtc()));
  result.collectSeconds = SecondsSince(started);
  const TClock::time_point analysing = TClock::now();
  const TAnalysisPlan plan{options.plugin, {NQELZARN20::kHeavyHittersAnalysisClass}, 1, false};
  result.lines.NameConcerned(*inventory);
  result.outcome = AnalyzeInventory(inventory, plan, result.lines, [&result](const std::string& m) {
    result.problems.push_back(m);
  });
  result.analyzeSeconds = SecondsSince(analysing);
  if (result.outcome == EAnalysisOutcome::PluginNotLoaded)
    return WriteStateLine(EMonitoringState::Unknown, result.problems.front());
  result.unread = UnreadClasses(*inventory);
  if (events) {
    result.repeated = result.lines.LeaveOut([&](const TCheckLine& line) {
      return (line.level == kLevelFinding || line.level == kLevelAdvice) &&
             events->Repeats(*inventory, line.concerned);
    });
    result.stateNote = events->Note();
  }
  const int state = WriteReport(result, options.thresholds);
  if (events) events->WriteRun(std::cout, *inventory);
  if (options.prometheus) WriteRunFigures(std::cout, FiguresOf(result, *inventory));
  return state;
}

// The check's work, whatever goes wrong in it reported as UNKNOWN.
int CheckWork(const TCheckOptions& options) {
  try {
    return CheckHere(options);
  } catch (const std::exception& error) {
    return WriteStateLine(EMonitoringState::Unknown, kCheckFailed + std::string(error.what()));
  }
}

// A zarn that does the check's work for its parent.
std::vector<std::string> CheckArguments(const TCheckOptions& options) {
  std::vector<std::string> args = {"check",     "--part-of-run",
                                   "--plugin",  options.plugin,
                                   "--timeout", std::to_string(options.timeoutSeconds)};
  if (options.root) args.insert(args.end(), {"--root", *options.root});
  if (options.inventory) args.insert(args.end(), {"--inventory", *options.inventory});
  if (options.thresholds.warning)
    args.push_back("--warning=" + RangeText(*options.thresholds.warning));
  if (options.thresholds.critical)
    args.push_back("--critical=" + RangeText(*options.thresholds.critical));
  if (options.prometheus) args.insert(args.end(), {"--prometheus", *options.prometheus});
  if (options.known) args.insert(args.end(), {"--known", *options.known});
  if (options.state) args.insert(args.end(), {"--state", *options.state});
  args.insert(args.end(), {"--max-event-age", std::to_string(options.maxEventDays)});
  return args;
}

std::string TimeLimitText(int seconds) {
  return "no result within " + std::to_string(seconds) + " s, the time limit (-t)";
}

// Why the figures could not be written; empty when they were, or none were
// asked for.
std::string WriteFigures(const TCheckOptions& options, EMonitoringState state,
                         const std::string& runFigures) {
  if (!options.prometheus) return std::string();
  return WriteCheckMetrics(*options.prometheus, state, runFigures);
}

// A run that ends UNKNOWN leaves the state file as it was: the operator
// may not have been shown its events, so the next run reports them again.
// Gives why the file could not be written; empty when it was, or when
// nothing was to be written.
std::string SaveState(const TCheckOptions& options, int status, const std::string& runState) {
  if (!options.state || status == static_cast<int>(EMonitoringState::Unknown)) return std::string();
  return SaveRunState(*options.state, runState, options.maxEventDays);
}

// The check reports UNKNOWN without its work's report, and its figures say
// no more than that.
int ReportUnknown(const TCheckOptions& options, const std::string& summary) {
  const std::string unwritten = WriteFigures(options, EMonitoringState::Unknown, std::string());
  return WriteStateLine(EMonitoringState::Unknown,
                        unwritten.empty() ? summary : unwritten + ", " + summary);
}

// The report with UNKNOWN for its state, and the problem first in its
// summary.
std::string UnknownFirst(const std::string& report, const std::string& problem) {
  const std::size_t summary = report.find(": ") + 2;
  return std::string(kServiceName) + ' ' + StateName(EMonitoringState::Unknown) + ": " +
         SummaryLine(problem) + ", " + report.substr(summary);
}

}  // namespace

// The work runs in a child process, so that the time limit holds whatever
// it waits for: a plug-in or a source of the collector that hangs is ended
// with its process, and this one reports in time.
int RunMonitoringCheck(const TCheckOptions& options) {
  if (options.partOfRun) return CheckWork(options);
  boost::asio::io_context context;
  std::optional<TChildResult> result;
  std::unique_ptr<TChildProcess> child;
  try {
    TChildWork work{[&options] { return CheckWork(options); }, CheckArguments(options)};
    work.keepInput = options.inventory == std::string(kStandardInput);
    child = std::make_unique<TChildProcess>(
        context, work, [&result](TChildResult ended) { result = std::move(ended); });
  } catch (const std::exception& error) {
    return ReportUnknown(options, kNotStarted + std::string(error.what()));
  }
  context.run_for(std::chrono::seconds(options.timeoutSeconds));
  if (!result) {
    child->Kill();
    return ReportUnknown(options, TimeLimitText(options.timeoutSeconds));
  }
  std::string report = result->out;
  std::string figures;
  std::string runState;
  if (options.prometheus) std::tie(report, figures) = SplitRunFigures(report);
  if (options.state) std::tie(report, runState) = SplitRunState(report);
  if (result->status < 0 || result->status > 3 || report.empty()) {
    const std::string how = result->status < 0 ? " (" + result->abnormal + ")" : std::string();
    return ReportUnknown(options, kEndedAbnormally + how);
  }
  int status = result->status;
  const std::string unsaved = SaveState(options, status, runState);
  if (!unsaved.empty()) {
    report = UnknownFirst(report, unsaved);
    status = static_cast<int>(EMonitoringState::Unknown);
  }
  const std::string unwritten =
      WriteFigures(options, static_cast<EMonitoringState>(status), figures);
  if (!unwritten.empty()) {
    report = UnknownFirst(report, unwritten);
    status = static_cast<int>(EMonitoringState::Unknown);
  }
  // A report that could not be written is no state a core can rely on.
  std::cout << report << std::flush;
  return std::cout ? status : static_cast<int>(EMonitoringState::Unknown);
}

}  // namespace NZARN
