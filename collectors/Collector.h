#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

#include <optional>

#include "collectors/InventoryDocument.h"

namespace NZARNCOLLECT {

// Why a collection cannot start at all, such as a --root that is no folder;
// nothing is written.
class TCollectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How far back the System event log is read: its newest records, no older
// than maxEventDays, at most maxEvents of them. A system without that log
// has nothing to bound.
constexpr unsigned kDefaultMaxEvents = 5000;
constexpr unsigned kDefaultMaxEventDays = 30;

struct TCollectSettings {
  std::optional<std::string> root;  // a machine image instead of this machine
  unsigned maxEvents = kDefaultMaxEvents;
  unsigned maxEventDays = kDefaultMaxEventDays;
  // The time of the newest record an earlier run collected: the log is
  // read from there on.
  std::optional<std::string> eventBookmark;
  // When the whole collection must have ended; each source that waits gets
  // what remains, or its own limit when that is shorter.
  std::optional<std::chrono::steady_clock::time_point> deadline;
};

// Collects this machine, or the machine image under root, with the
// collector of the system zarn runs on. Reads only; a source it may not
// read makes its class unreadable, never a failure.
TCollectedInventory CollectMachine(const TCollectSettings& settings);

}  // namespace NZARNCOLLECT
