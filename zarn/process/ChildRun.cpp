#include "zarn/process/ChildRun.h"

#include <csignal>
#include <exception>
#include <sstream>
#include <utility>

namespace NZARN {

std::vector<std::string> MessageLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TChildRun::TChildRun(std::size_t count, std::size_t jobs, int stopStatus,
                     TChildRunHandlers handlers)
    : m_handlers(std::move(handlers)),
      m_signals(m_context),
      m_children(count),
      m_jobs(jobs),
      m_stopStatus(stopStatus) {}

int TChildRun::Run() {
  for (const int signal : {SIGINT, SIGTERM}) {
    if (!IgnoresSignal(signal)) m_signals.add(signal);
  }
  m_signals.async_wait([this](const boost::system::error_code& error, int signal) {
    if (!error) Interrupt(signal);
  });
  StartMore();
  m_context.run();
  return m_signal;
}

void TChildRun::StartMore() {
  while (m_running < m_jobs && m_started < m_children.size() && !m_stopStarting) Start(m_started++);
  if (m_running == 0) {
    m_signals.cancel();
    m_signals.clear();
  }
}

void TChildRun::Start(std::size_t member) {
  try {
    m_children[member] = std::make_unique<TChildProcess>(
        m_context, m_handlers.work(member),
        [this, member](TChildResult result) { OnEnded(member, std::move(result)); });
    ++m_running;
  } catch (const std::exception& error) {
    if (m_running == 0) return m_handlers.notStarted(member, error.what());
    --m_started;
    m_jobs = m_running;
    m_handlers.fewer(error.what(), m_jobs);
  }
}

// The next child starts before the caller takes what this one left, so
// that the parent's share of the work keeps no core waiting.
void TChildRun::OnEnded(std::size_t member, TChildResult result) {
  m_children[member].reset();
  --m_running;
  ++m_ended;
  if (result.status == m_stopStatus) m_stopStarting = true;
  StartMore();
  m_handlers.ended(member, std::move(result));
}

void TChildRun::Interrupt(int signal) {
  m_signal = signal;
  for (std::unique_ptr<TChildProcess>& child : m_children) {
    if (child) child->Kill();
  }
  m_context.stop();
}

}  // namespace NZARN
