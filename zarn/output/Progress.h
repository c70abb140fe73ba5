#pragma once

#include <chrono>
#include <cstddef>

namespace NZARN {

// "zarn: 120 of 10000 inventories analysed" on stderr, when it is a
// terminal and the run has taken more than two seconds; cleared before
// anything else is written.
class TProgress {
 public:
  explicit TProgress(std::size_t total);

  // Draws the line again, at most five times a second.
  void Update(std::size_t ended);
  void Clear();

 private:
  using TClock = std::chrono::steady_clock;

  std::size_t m_total;
  bool m_onTerminal;
  TClock::time_point m_start;
  TClock::time_point m_drawn;
  std::size_t m_length = 0;
};

}  // namespace NZARN
