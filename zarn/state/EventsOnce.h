#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "zarn/state/EventState.h"
#include "zarncore/Inventory.h"

namespace NZARN {

// What zarn check's --state does to one run's work, in the child that does
// it: the findings and advice about an event record that an earlier run
// reported are left out, and what the run reported goes to the parent,
// which adds it to the file only when the check's state is not UNKNOWN, so
// that no record counts as reported that the operator was never shown.
class TEventsOnce {
 public:
  explicit TEventsOnce(const std::string& path);

  // Where the Windows collector reads the event log from.
  const std::optional<std::string>& Bookmark() const { return m_earlier.Newest(); }
  // Why the run counts as a first run; empty when the file was read.
  const std::string& Note() const { return m_note; }

  // Whether a line about the concerned instance repeats what an earlier run
  // reported; a line about an event record is the run's to report either
  // way, so that the record stays known as long as the log keeps it.
  bool Repeats(const NZARNCORE::TInventory& inventory,
               std::optional<NZARNCORE::TInventory::TInstanceIndex> concerned);
  std::size_t Repeated() const { return m_repeated; }

  // After the report: what the run adds to the file, for the parent.
  void WriteRun(std::ostream& out, const NZARNCORE::TInventory& inventory);

 private:
  TEventState m_earlier;
  std::string m_note;
  TEventState m_run;
  std::size_t m_repeated = 0;
  std::int64_t m_now;
};

// In the parent: the child's output without what its run adds to the state
// file, and that, which is empty when the child gave none.
std::pair<std::string, std::string> SplitRunState(const std::string& childOutput);

// Adds what the child gave to the file; gives why it could not, empty when
// it could.
std::string SaveRunState(const std::string& path, const std::string& run, unsigned maxEventDays);

}  // namespace NZARN
