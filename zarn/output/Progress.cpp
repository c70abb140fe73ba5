#include "zarn/output/Progress.h"

#include <iostream>
#include <string>

#include "zarn/output/Terminal.h"

namespace NZARN {

namespace {

// A short run goes without the line.
constexpr auto kProgressAfter = std::chrono::seconds(2);
constexpr auto kProgressEvery = std::chrono::milliseconds(200);

}  // namespace

TProgress::TProgress(std::size_t total)
    : m_total(total), m_onTerminal(IsTerminal(stderr)), m_start(TClock::now()) {}

void TProgress::Update(std::size_t ended) {
  const TClock::time_point now = TClock::now();
  if (!m_onTerminal || now - m_start < kProgressAfter || now - m_drawn < kProgressEvery) return;
  m_drawn = now;
  Clear();
  const std::string line =
      "zarn: " + std::to_string(ended) + " of " + std::to_string(m_total) + " inventories analysed";
  std::cerr << line << std::flush;
  m_length = line.size();
}

void TProgress::Clear() {
  if (m_length == 0) return;
  std::cerr << '\r' << std::string(m_length, ' ') << '\r' << std::flush;
  m_length = 0;
}

}  // namespace NZARN
