#pragma once

#include <string>

#include "zarn/state/EventState.h"

namespace NZARN {

// zarn check's state file, shared by the runs that name it. Each run reads
// it, and adds to it, holding FILE.lock, a file beside it that stays: the
// state file itself is replaced whole (see WriteWholeFile), so that a run
// that reads it finds an old state or a new one, never half of one, and
// two runs that end together each add their records to what the other
// wrote.

// The state as a run finds it; with a note, why it counts as a first run.
struct TLoadedState {
  TEventState state;
  std::string note;  // empty when the file was read
};

TLoadedState LoadEventState(const std::string& path);

// Adds a run's records to the file, and forgets those no run has seen for
// more than maxEventDays. A file that cannot be read is replaced. Gives
// why the file could not be written; empty when it was.
std::string SaveEventState(const std::string& path, const TEventState& run, unsigned maxEventDays);

// The time of day in Unix seconds, as the state file keeps it.
std::int64_t UnixSeconds();

}  // namespace NZARN
