#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace NZARNCOLLECT {

// When waiting must end: for a whole collection, when it has a limit (that
// of zarn check), or for one source of it. A source gets its own limit or
// what remains of the collection's, whichever is shorter, so that a slow
// source ends as one that timed out, within the collection's time.
class TDeadline {
 public:
  using TClock = std::chrono::steady_clock;

  // A collection's; none for one without a limit.
  explicit TDeadline(std::optional<TClock::time_point> end = std::nullopt) : m_end(end) {}

  // The limit of a wait that starts now and may take own at most: own, or
  // what remains when that is shorter; at least a millisecond, so that a
  // source out of time says so.
  std::chrono::milliseconds For(std::chrono::milliseconds own) const;

  // The deadline of a source that starts now with its own limit, which
  // names it once it has passed.
  TDeadline ForSource(std::string source, std::chrono::milliseconds own) const;

  // The milliseconds left of a source's deadline, for a call that waits.
  // Throws TSourceError, "timed out: SOURCE did not answer within N s", once
  // none are left.
  unsigned long RemainingMs() const;

 private:
  std::optional<TClock::time_point> m_end;
  std::string m_source;
  std::chrono::milliseconds m_limit{0};  // a source's, from when it started
};

// A time limit as messages give it: "20 s", or "8999 ms" when it is no whole
// number of seconds.
std::string LimitText(std::chrono::milliseconds limit);

}  // namespace NZARNCOLLECT
