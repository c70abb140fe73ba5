#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <boost/optional.hpp>

namespace NZARNCOLLECT {

// What remains of the time a whole collection may take, when it has a
// limit (that of zarn check): each source that waits gets its own limit or
// what remains, whichever is shorter, so that a slow source ends as one
// that timed out, within the collection's time.
class TTimeBudget {
 public:
  using TClock = std::chrono::steady_clock;

  explicit TTimeBudget(boost::optional<TClock::time_point> end = boost::none) : m_end(end) {}

  // At least a millisecond, so that a source out of time says so.
  std::chrono::milliseconds For(std::chrono::milliseconds own) const;

 private:
  boost::optional<TClock::time_point> m_end;
};

// A time limit as messages give it: "20 s", or "8999 ms" when it is no whole
// number of seconds.
std::string LimitText(std::chrono::milliseconds limit);

// Runs a program found on PATH with args, with empty input and the C locale,
// and gives what it wrote to stdout. The program, and whatever it started,
// is stopped once limit has passed, and whatever of it is left when it
// ends; it is also ended when this process ends first. Throws TSourceError
// when the program is missing, runs out of time, writes more than a
// collector needs (64 MiB) or ends with another status than 0; the last says
// the status and the line of its stderr that tells the error (the first
// that begins with "error:", else the last).
std::string RunProgram(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds limit);

}  // namespace NZARNCOLLECT
