#include <csignal>
#include <cstddef>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/Report.h"
#include "zarn/output/InventorySummary.h"
#include "zarn/output/Progress.h"
#include "zarn/process/ChildProcess.h"
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Reports on the inventories, each analysed in a child process,
// options.jobs at a time, and writes the page once every one has ended.
class TReportRun {
 public:
  TReportRun(const TReportOptions& options, const TInventoryList& list)
      : m_options(options),
        m_inventories(list.inventories),
        m_signals(m_context),
        m_children(m_inventories.size()),
        m_members(m_inventories.size()),
        m_messages(m_inventories.size()),
        m_progress(m_inventories.size()),
        m_jobs(static_cast<std::size_t>(options.jobs)) {
    for (const std::string& folder : list.unlisted)
      m_notes.push_back("cannot list " + folder + "; the inventories beneath it are left out");
  }

  int Run() {
    if (!IgnoresSignal(SIGINT)) m_signals.add(SIGINT);
    if (!IgnoresSignal(SIGTERM)) m_signals.add(SIGTERM);
    m_signals.async_wait([this](const boost::system::error_code& error, int signal) {
      if (!error) Interrupt(signal);
    });
    StartMore();
    m_context.run();
    m_progress.Clear();
    if (m_signal != 0) return Interrupted();
    return Finish();
  }

 private:
  void StartMore() {
    while (m_running < m_jobs && m_started < m_inventories.size() && !m_stopStarting)
      Start(m_started++);
    if (m_running == 0) {
      m_signals.cancel();
      m_signals.clear();
    }
  }

  void Start(std::size_t index) {
    const TListedInventory& inventory = m_inventories[index];
    const TChildWork work{
        [this, &inventory] { return RunReportMember(m_options, inventory); },
        {"report", inventory.path, "--part-of-run", "--plugin", m_options.plugin}};
    try {
      m_children[index] = std::make_unique<TChildProcess>(
          m_context, work, [this, index](TChildResult result) { Ended(index, std::move(result)); });
      ++m_running;
    } catch (const std::exception& error) {
      // The system lets no more children run at once: the inventory waits
      // for one of them to end, and fewer run from now on.
      if (m_running != 0) {
        --m_started;
        m_jobs = m_running;
        return;
      }
      m_members[index] = Failed(inventory.path, eExitException,
                                "the analysis could not start: " + std::string(error.what()));
    }
  }

  void Ended(std::size_t index, TChildResult result) {
    m_children[index].reset();
    --m_running;
    ++m_ended;
    const std::string& path = m_inventories[index].path;
    m_messages[index] = Lines(result.err);
    std::optional<TInventorySummary> record;
    if (!m_messages[index].empty()) record = ParseInventorySummary(m_messages[index].back());
    if (record && result.status >= 0) {
      m_messages[index].pop_back();
      record->path = path;
      m_members[index] = TReportMember{*record, std::move(result.out)};
      if (record->status == eExitPluginNotLoaded) m_stopStarting = true;
    } else {
      const std::string how = result.status < 0 ? "ended abnormally (" + result.abnormal + ")"
                                                : "ended without its account";
      m_members[index] = Failed(path, eExitException, "the analysis " + how);
      m_messages[index].push_back("zarn: error: " + Displayed(path + ": the analysis " + how));
    }
    m_progress.Update(m_ended);
    StartMore();
  }

  void Interrupt(int signal) {
    m_signal = signal;
    for (std::unique_ptr<TChildProcess>& child : m_children) {
      if (child) child->Kill();
    }
    m_context.stop();
  }

  // Nothing is written: the page would leave inventories out. Ends as the
  // signal would have ended zarn.
  int Interrupted() {
    ReportError("interrupted; no page was written");
    std::signal(m_signal, SIG_DFL);
    std::raise(m_signal);
    return 128 + m_signal;
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
  boost::asio::io_context m_context;
  boost::asio::signal_set m_signals;
  std::vector<std::unique_ptr<TChildProcess>> m_children;
  std::vector<std::optional<TReportMember>> m_members;
  std::vector<std::vector<std::string>> m_messages;
  std::vector<std::string> m_notes;
  TProgress m_progress;
  std::size_t m_started = 0;
  std::size_t m_running = 0;
  std::size_t m_ended = 0;
  std::size_t m_jobs;
  bool m_stopStarting = false;
  int m_signal = 0;
};

}  // namespace

int RunReportMany(const TReportOptions& options) {
  TInventoryList list;
  try {
    list = ExpandInventories(options.inventories);
  } catch (const TInventoryListError& error) {
    ReportError(error.what());
    return eExitUsage;
  }
  for (const std::string& folder : list.unlisted)
    ReportError("cannot list " + folder + "; the inventories beneath it are left out");
  if (list.inventories.empty()) return eExitUsage;
  return TReportRun(options, list).Run();
}

}  // namespace NZARN
