#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>

#include <boost/optional.hpp>

#include "zarncore/HostCall.h"

namespace NZARN {

enum class EFormat { Text, Jsonl };

// How many lines the plug-in wrote, by level, whether shown or not.
struct TLineCounts {
  std::size_t findings = 0;
  std::size_t advice = 0;
  std::size_t errors = 0;
  std::size_t diagnostics = 0;
  std::size_t otherLevels = 0;
  std::size_t hidden = 0;  // left out by the level filter
};

// The one-line account of what was written, for the end of text output.
std::string Summary(const TLineCounts& counts);

// Writes logged lines and host calls as they happen, in the chosen format,
// and counts the lines.
class TOutputWriter : public NZARNCORE::IHostObserver {
 public:
  // shownLevels: the levels whose lines are written; none means all.
  TOutputWriter(std::ostream& out, EFormat format,
                boost::optional<std::set<std::int32_t>> shownLevels);

  void OnLog(std::int32_t level, const std::string& text) override;
  void OnHostCall(const NZARNCORE::THostCall& call) override;

  const TLineCounts& Counts() const { return m_counts; }

 private:
  void Count(std::int32_t level);
  bool Shows(std::int32_t level) const;

  std::ostream& m_out;
  EFormat m_format;
  boost::optional<std::set<std::int32_t>> m_shownLevels;
  TLineCounts m_counts;
};

}  // namespace NZARN
