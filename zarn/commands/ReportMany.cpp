#include <csignal>
#include <cstddef>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/Report.h"
#include "zarn/output/InventorySummary.h"
#include "zarn/output/Progress.h"
#include "zarn/process/ChildProcess.h"
#include "zarn/process/ChildRun.h"
#include "zarn/report/ReportPage.h"
#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Displayed;

namespace {

const char kNotAnalysed[] = "Not analysed: the plug-in cannot be loaded.";

// A member whose child gave no part: the page says why instead.
TReportMember Failed(const std::string& path, int status, const std::string& why) {
  TInventoryReport report;
  report.name = path;
  report.problems.push_back(why);
  report.status = status;
  TReportMember member;
  member.record.path = path;
  member.record.status = status;
  member.part = InventoryPart(report, 3);
  return member;
}

// Reports on the inventories, each analysed in a child process,
// options.jobs at a time, and writes the page once every one has ended.
class TReportRun {
 public:
  TReportRun(const TReportOptions& options, const TInventoryList& list)
      : m_options(options),
        m_inventories(list.inventories),
        m_run(m_inventories.size(), static_cast<std::size_t>(options.jobs), eExitPluginNotLoaded,
              Handlers()),
        m_members(m_inventories.size()),
        m_messages(m_inventories.size()),
        m_progress(m_inventories.size()) {
    for (const std::string& folder : list.unlisted)
      m_notes.push_back("cannot list " + folder + "; the inventories beneath it are left out");
  }

  int Run() {
    const int signal = m_run.Run();
    m_progress.Clear();
    if (signal != 0) return Interrupted(signal);
    return Finish();
  }

 private:
  // The system lets no more children run at once: the inventory waits for
  // one of them to end, and fewer run from now on, without a word, as the
  // page says all there is to say.
  TChildRunHandlers Handlers() {
    return {[this](std::size_t index) { return Work(m_inventories[index]); },
            [this](std::size_t index, TChildResult result) { Ended(index, std::move(result)); },
            [this](std::size_t index, const std::string& why) {
              m_members[index] = Failed(m_inventories[index].path, eExitException,
                                        "the analysis could not start: " + why);
            },
            [](const std::string&, std::size_t) {}};
  }

  TChildWork Work(const TListedInventory& inventory) {
    return {[this, &inventory] { return RunReportMember(m_options, inventory); },
            {"report", inventory.path, "--part-of-run", "--plugin", m_options.plugin}};
  }

  void Ended(std::size_t index, TChildResult result) {
    const std::string& path = m_inventories[index].path;
    m_messages[index] = MessageLines(result.err);
    std::optional<TInventorySummary> record;
    if (!m_messages[index].empty()) record = ParseInventorySummary(m_messages[index].back());
    if (record && result.status >= 0) {
      m_messages[index].pop_back();
      record->path = path;
      m_members[index] = TReportMember{*record, std::move(result.out)};
      if (record->status == eExitPluginNotLoaded) m_run.StopStarting();
    } else {
      const std::string how = result.status < 0 ? "ended abnormally (" + result.abnormal + ")"
                                                : "ended without its account";
      m_members[index] = Failed(path, eExitException, "the analysis " + how);
      m_messages[index].push_back("zarn: error: " + Displayed(path + ": the analysis " + how));
    }
    m_progress.Update(m_run.Ended());
  }

  // Nothing is written: the page would leave inventories out. Ends as the
  // signal would have ended zarn.
  int Interrupted(int signal) {
    ReportError("interrupted; no page was written");
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return 128 + signal;
  }

  int Finish() {
    int status = m_notes.empty() ? eExitClean : eExitUsage;
    std::vector<TReportMember> members;
    for (std::size_t index = 0; index < m_inventories.size(); ++index) {
      for (const std::string& message : m_messages[index]) std::cerr << message << '\n';
      if (!m_members[index])
        m_members[index] = Failed(m_inventories[index].path, eExitPluginNotLoaded, kNotAnalysed);
      status = MoreImportantStatus(status, ReportStatus(m_members[index]->record.status));
      members.push_back(std::move(*m_members[index]));
    }
    const int written = WriteDocument(m_options.output, OverviewPage(std::move(members), m_notes));
    return MoreImportantStatus(status, written);
  }

  const TReportOptions& m_options;
  const std::vector<TListedInventory>& m_inventories;
  TChildRun m_run;
  std::vector<std::optional<TReportMember>> m_members;
  std::vector<std::vector<std::string>> m_messages;
  std::vector<std::string> m_notes;
  TProgress m_progress;
};

}  // namespace

int RunReportMany(const TReportOptions& options) {
  const std::optional<TInventoryList> list = ListInventories(options.inventories);
  if (!list) return eExitUsage;
  return TReportRun(options, *list).Run();
}

}  // namespace NZARN
