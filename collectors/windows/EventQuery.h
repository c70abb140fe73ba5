#pragma once

#include <optional>
#include <string>

namespace NZARNCOLLECT {

// Which records of the System event log a collection reads, as the
// event-log API's XPath query and as the class's record says it.
struct TEventQuery {
  std::string xpath;
  std::string bounds;  // "the newest records of the last 30 days", and from when on
};

// The records of the last maxDays days; with a bookmark, the time of the
// newest record an earlier run collected, only those no older than it, as
// the log keeps times (2026-11-30T04:12:09.5591234Z). Records as old as the
// bookmark are read again, so that one logged in the same tick is not
// lost. A bookmark of any other form is not used.
TEventQuery SystemEventQuery(unsigned maxDays, const std::optional<std::string>& bookmark);

}  // namespace NZARNCOLLECT
