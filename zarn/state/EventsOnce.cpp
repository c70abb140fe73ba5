#include "zarn/state/EventsOnce.h"

#include <stdexcept>

#include "zarn/state/StateFile.h"

namespace NZARN {

namespace {

// After the report, which holds no control character, and before the
// figures for Prometheus, which start with a zero byte.
const char kRunStart = '\x01';

}  // namespace

TEventsOnce::TEventsOnce(const std::string& path) : m_now(UnixSeconds()) {
  TLoadedState loaded = LoadEventState(path);
  m_earlier = std::move(loaded.state);
  m_note = std::move(loaded.note);
}

bool TEventsOnce::Repeats(const NZARNCORE::TInventory& inventory,
                          std::optional<NZARNCORE::TInventory::TInstanceIndex> concerned) {
  if (!concerned) return false;
  const std::optional<TEventIdentity> record = EventIdentityOf(inventory, *concerned);
  if (!record) return false;
  m_run.Report(*record, m_now);
  const bool repeats = m_earlier.Reported(*record);
  m_repeated += repeats ? 1 : 0;
  return repeats;
}

void TEventsOnce::WriteRun(std::ostream& out, const NZARNCORE::TInventory& inventory) {
  if (const std::optional<std::string> newest = NewestEventTime(inventory))
    m_run.SetNewest(*newest);
  out << kRunStart << m_run.Text() << std::flush;
}

std::pair<std::string, std::string> SplitRunState(const std::string& childOutput) {
  const std::size_t start = childOutput.rfind(kRunStart);
  if (start == std::string::npos) return {childOutput, std::string()};
  return {childOutput.substr(0, start), childOutput.substr(start + 1)};
}

std::string SaveRunState(const std::string& path, const std::string& run, unsigned maxEventDays) {
  TEventState state;
  try {
    state = TEventState::Parse(run);
  } catch (const std::runtime_error& error) {
    return "the check's work gave no state to keep: " + std::string(error.what());
  }
  return SaveEventState(path, state, maxEventDays);
}

}  // namespace NZARN
