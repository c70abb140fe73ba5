#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include "zarn/process/ChildProcess.h"

namespace NZARN {

// The lines of a child's messages.
std::vector<std::string> MessageLines(const std::string& text);

// What a run of children asks of its caller, each on the run's thread.
struct TChildRunHandlers {
  std::function<TChildWork(std::size_t member)> work;
  std::function<void(std::size_t member, TChildResult result)> ended;
  // No child of the run was running and this one could not start either;
  // the member has no child, and the run goes on with the next.
  std::function<void(std::size_t member, const std::string& why)> notStarted;
  // The system lets no more children run at once (open files, processes):
  // the member waits for a running one to end, and jobs run from now on.
  std::function<void(const std::string& why, std::size_t jobs)> fewer;
};

// Runs a child process for each of count members, jobs at a time, each
// started as another ends, until every member has ended or no more are to
// start. A child that exits with stopStatus (its plug-in cannot be loaded)
// lets no more start. SIGINT and SIGTERM, unless this process ignores them,
// kill the children that run and end the run.
class TChildRun {
 public:
  TChildRun(std::size_t count, std::size_t jobs, int stopStatus, TChildRunHandlers handlers);

  // The signal that ended the run, or 0.
  int Run();
  // No more members start; those running end as they would.
  void StopStarting() { m_stopStarting = true; }
  std::size_t Ended() const { return m_ended; }

 private:
  void StartMore();
  void Start(std::size_t member);
  void OnEnded(std::size_t member, TChildResult result);
  void Interrupt(int signal);

  TChildRunHandlers m_handlers;
  boost::asio::io_context m_context;
  boost::asio::signal_set m_signals;
  std::vector<std::unique_ptr<TChildProcess>> m_children;
  std::size_t m_jobs;
  int m_stopStatus;
  std::size_t m_started = 0;
  std::size_t m_running = 0;
  std::size_t m_ended = 0;
  bool m_stopStarting = false;
  int m_signal = 0;
};

}  // namespace NZARN
