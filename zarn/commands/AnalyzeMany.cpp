#include <csignal>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/InventoryInput.h"
#include "zarn/output/InventorySummary.h"
#include "zarn/output/Progress.h"
#include "zarn/process/ChildProcess.h"
#include "zarn/process/ChildRun.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Counted;

using NZARNCORE::Displayed;

namespace {

const char kInterrupted[] = "interrupted; the output is whole for the first ";
const char kPluginGaveUp[] =
    "the plug-in cannot be loaded; the inventories not yet started are left out";
const char kOutputFailed[] = "writing the output failed; it is incomplete";

// The arguments of a zarn that analyses one inventory for its parent.
std::vector<std::string> MemberArguments(const TAnalyzeOptions& options,
                                         const std::string& inventory) {
  std::vector<std::string> args = {"analyze",
                                   inventory,
                                   "--part-of-run",
                                   "--plugin",
                                   options.plan.plugin,
                                   "--runs",
                                   std::to_string(options.plan.runs),
                                   "--format",
                                   options.format == EFormat::Jsonl ? "jsonl" : "text"};
  for (const std::string& name : options.plan.classes) {
    args.push_back("--class");
    args.push_back(name);
  }
  if (options.levels) {
    std::string levels;
    for (const std::int32_t level : *options.levels)
      levels += (levels.empty() ? "" : ",") + std::to_string(level);
    args.push_back("--levels");
    args.push_back(levels);
  }
  if (options.plan.trace) args.push_back("--trace");
  if (options.known) args.insert(args.end(), {"--known", *options.known});
  return args;
}

// The largest inventory loaded by the parent rather than by its child.
constexpr std::uintmax_t kLoadedHereAtMost = std::uintmax_t(256) << 10;

// A small inventory loaded here, in the parent, for its child to take as
// its copy of this process: a child starts cold, every page and line of
// the loader's code and data new to it, and a typical inventory's load cost
// it more than its analysis; here they stay warm from one inventory to the
// next. The plug-in still runs only in the child. A larger inventory loads
// in its child, beside the other analyses, and one that cannot be loaded
// here is left to its child, which says why. Its storage is shared with
// the children, so the caller keeps it until its child has ended. Null on
// Windows, where the child is zarn started again.
boost::shared_ptr<NZARNCORE::TInventory> LoadedHere(
    [[maybe_unused]] const TListedInventory& inventory) {
#if defined(_WIN32)
  return nullptr;
#else
  std::error_code error;
  // No size for anything but a regular file: a FIFO is left to its child.
  const std::uintmax_t size = std::filesystem::file_size(inventory.path, error);
  if (error || size > kLoadedHereAtMost) return nullptr;
  try {
    const NZARNCORE::TArena::TSharedWithChildren shared;
    return LoadInventory({inventory.path, true});
  } catch (const NZARNCORE::TInventoryError&) {
    return nullptr;
  }
#endif
}

// What the analysis of one inventory left: its lines, its messages and its
// record.
struct TMemberOutcome {
  std::string out;
  std::vector<std::string> messages;
  TInventorySummary record;
};

// A child that ended without its record: its whole lines are kept, and its
// end is reported as an exception that left the analysis.
TMemberOutcome Abnormal(const std::string& path, TChildResult result, const std::string& how) {
  TMemberOutcome outcome;
  outcome.out = result.out.substr(0, result.out.rfind('\n') + 1);
  outcome.messages = MessageLines(result.err);
  outcome.messages.push_back("zarn: error: " + Displayed(path + ": the analysis " + how));
  outcome.record.path = path;
  outcome.record.status = eExitException;
  return outcome;
}

TMemberOutcome Interpret(const std::string& path, TChildResult result) {
  std::vector<std::string> messages = MessageLines(result.err);
  std::optional<TInventorySummary> record;
  if (!messages.empty()) record = ParseInventorySummary(messages.back());
  if (!record || result.status < 0) {
    const std::string how = result.status < 0 ? "ended abnormally (" + result.abnormal + ")"
                                              : "ended without its summary";
    return Abnormal(path, std::move(result), how);
  }
  messages.pop_back();
  record->path = path;
  return TMemberOutcome{std::move(result.out), std::move(messages), *record};
}

std::string SummaryText(const TInventorySummary& record) {
  if (record.counts) return CountsText(*record.counts);
  return record.status == eExitUsage ? "not loaded" : "ended abnormally";
}

// The inventories of a run, by how they ended.
struct TTally {
  std::size_t findings = 0, incomplete = 0, clean = 0, notLoaded = 0, failed = 0;
  std::size_t unlisted = 0;  // folders

  void Add(int status) {
    switch (status) {
      case eExitFindings:
        ++findings;
        break;
      case eExitErrorsOnly:
        ++incomplete;
        break;
      case eExitClean:
        ++clean;
        break;
      case eExitUsage:
        ++notLoaded;
        break;
      default:
        ++failed;
    }
  }

  std::string Text(std::size_t notAnalyzed) const {
    const std::pair<std::size_t, const char*> parts[] = {
        {findings, "with findings"}, {incomplete, "incomplete"}, {clean, "clean"},
        {notLoaded, "not loaded"},   {failed, "failed"},         {notAnalyzed, "not analysed"}};
    std::string text;
    for (const auto& part : parts) {
      if (part.first != 0) text += ", " + std::to_string(part.first) + " " + part.second;
    }
    if (unlisted != 0) text += ", " + Counted(unlisted, "folder", "folders") + " not listed";
    return text;
  }
};

void AddCounts(TLineCounts& total, const TLineCounts& counts) {
  total.findings += counts.findings;
  total.advice += counts.advice;
  total.errors += counts.errors;
  total.diagnostics += counts.diagnostics;
  total.otherLevels += counts.otherLevels;
  total.hidden += counts.hidden;
  total.known += counts.known;
}

// Analyses the inventories, each in a child process, options.jobs at a
// time, and writes what each left, whole and in the inventories' order.
class TFleetRun {
 public:
  TFleetRun(const TAnalyzeOptions& options, const TInventoryList& list)
      : m_options(options),
        m_inventories(list.inventories),
        m_run(m_inventories.size(), static_cast<std::size_t>(options.jobs), eExitPluginNotLoaded,
              Handlers()),
        m_progress(m_inventories.size()) {
    // A folder that could not be listed leaves its inventories out, as if
    // they could not be loaded.
    m_tally.unlisted = list.unlisted.size();
    if (m_tally.unlisted != 0) m_status = eExitUsage;
  }

  int Run() {
#if !defined(_WIN32)
    // Each child is a copy of this process: loaded here once, the plug-in
    // is loaded in none of them.
    m_preloaded = TPreloadedPlugin::Load(m_options.plan.plugin);
#endif
    const int signal = m_run.Run();
    m_progress.Clear();
    if (signal != 0) return Interrupted(signal);
    return Finish();
  }

 private:
  TChildRunHandlers Handlers() {
    return {[this](std::size_t index) { return Work(index); },
            [this](std::size_t index, TChildResult result) { Ended(index, std::move(result)); },
            [this](std::size_t index, const std::string& why) { NotStarted(index, why); },
            [this](const std::string& why, std::size_t jobs) { Fewer(why, jobs); }};
  }

  TChildWork Work(std::size_t index) {
    const TListedInventory& inventory = m_inventories[index];
    const boost::shared_ptr<NZARNCORE::TInventory> loaded = LoadedHere(inventory);
    // Replaces one loaded for a start that failed and is tried again.
    if (loaded) m_loadedHere.insert_or_assign(index, loaded);
    return {[this, &inventory, loaded] {
              return RunAnalyzeOne(m_options, inventory, true, m_preloaded.get(), loaded);
            },
            MemberArguments(m_options, inventory.path)};
  }

  void NotStarted(std::size_t index, const std::string& why) {
    m_loadedHere.erase(index);
    TChildResult failed;
    failed.abnormal = why;
    m_waiting.emplace(index,
                      Abnormal(m_inventories[index].path, failed, "could not start: " + why));
    WriteReady();
  }

  void Fewer(const std::string& why, std::size_t jobs) {
    m_progress.Clear();
    std::cerr << "zarn: note: the system lets no more analyses run at once (" << why << "); "
              << jobs << " at a time from now on\n";
  }

  void Ended(std::size_t index, TChildResult result) {
    m_loadedHere.erase(index);
    m_waiting.emplace(index, Interpret(m_inventories[index].path, std::move(result)));
    WriteReady();
    m_progress.Update(m_run.Ended());
  }

  void WriteReady() {
    for (auto next = m_waiting.begin(); next != m_waiting.end() && next->first == m_written;
         next = m_waiting.erase(next)) {
      Write(next->second);
      ++m_written;
    }
  }

  void Write(TMemberOutcome& outcome) {
    TInventorySummary& record = outcome.record;
    m_knownUsed.insert(m_knownUsed.end(), record.knownUsed.begin(), record.knownUsed.end());
    record.knownUsed.clear();
    if (record.counts) m_hosts.insert(record.host);
    m_progress.Clear();
    if (m_options.format == EFormat::Text) {
      std::cout << "== " << Displayed(record.path);
      if (!record.host.empty()) std::cout << " (host " << Displayed(record.host) << ')';
      std::cout << '\n' << outcome.out;
    } else {
      std::cout << outcome.out;
      WriteInventorySummary(std::cout, record);
    }
    if (!std::cout.flush()) {
      m_outputFailed = true;
      m_run.StopStarting();
    }
    for (const std::string& message : outcome.messages) std::cerr << message << '\n';
    if (m_options.format == EFormat::Text) {
      std::cerr << "Summary of " << Displayed(record.path) << ": " << SummaryText(record) << '\n';
    }
    if (record.counts) AddCounts(m_total, *record.counts);
    m_tally.Add(record.status);
    m_status = MoreImportantStatus(m_status, record.status);
  }

  // Ends as the signal would have ended zarn, once the output is whole.
  int Interrupted(int signal) {
    ReportError(kInterrupted + std::to_string(m_written) + " of " +
                std::to_string(m_inventories.size()) + " inventories");
    std::cout.flush();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return 128 + signal;
  }

  int Finish() {
    const std::size_t notAnalyzed = m_inventories.size() - m_written;
    if (notAnalyzed != 0 && !m_outputFailed) ReportError(kPluginGaveUp);
    if (m_outputFailed) {
      ReportError(kOutputFailed);
      m_status = MoreImportantStatus(m_status, eExitOutputFailed);
    }
    if (m_options.knownFile && m_written == m_inventories.size())
      NoteUnusedEntries(*m_options.knownFile, m_hosts, m_knownUsed);
    std::cerr << "Summary of the run: " << Counted(m_inventories.size(), "inventory", "inventories")
              << m_tally.Text(notAnalyzed) << "; " << CountsText(m_total) << '\n';
    return m_status;
  }

  const TAnalyzeOptions& m_options;
  const std::vector<TListedInventory>& m_inventories;
  std::unique_ptr<TPreloadedPlugin> m_preloaded;
  TChildRun m_run;
  // Outcomes that wait for an earlier inventory's to be written. Only
  // those are kept: each child is a copy of this process, and a place kept
  // for every inventory of a large archive would be copied with each.
  std::map<std::size_t, TMemberOutcome> m_waiting;
  // The inventories loaded here whose children may still read them.
  std::map<std::size_t, boost::shared_ptr<NZARNCORE::TInventory>> m_loadedHere;
  TProgress m_progress;
  std::size_t m_written = 0;
  bool m_outputFailed = false;
  int m_status = eExitClean;
  TLineCounts m_total;
  TTally m_tally;
  std::vector<std::size_t> m_knownUsed;  // entries of the known file that matched
  std::set<std::string> m_hosts;         // of the inventories analysed; "" for none named
};

}  // namespace

int RunAnalyzeMany(const TAnalyzeOptions& options) {
  const std::optional<TInventoryList> list = ListInventories(options.inventories);
  if (!list) return eExitUsage;
  return TFleetRun(options, *list).Run();
}

}  // namespace NZARN
