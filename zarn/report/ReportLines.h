#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zarn/output/OutputWriter.h"
#include "zarncore/HostCall.h"
#include "zarncore/LineAttribution.h"

namespace NZARN {

// A line the plug-in logged, with the instance it concerns.
struct TReportedLine {
  std::int32_t level;
  std::string text;
  std::optional<std::size_t> instance;  // by its place in the inventory
};

// The lines of one list of the page: the first few, and how many there were.
struct TLineList {
  std::vector<TReportedLine> shown;
  std::size_t total = 0;
};

// Gathers what the plug-in logs for the page, each line with the instance
// it concerns: findings and advice, errors, and the rest (diagnostics and
// lines at other levels). A flooded inventory logs hundreds of thousands of
// lines, so each list keeps only its first shownLines and counts the others.
class TReportLines : public NZARNCORE::IHostObserver {
 public:
  explicit TReportLines(std::size_t shownLines) : m_shownLines(shownLines) {}

  void OnLog(std::int32_t level, const std::string& text) override;
  void OnHostCall(const NZARNCORE::THostCall& call) override { m_attribution.OnHostCall(call); }

  const TLineList& Findings() const { return m_findings; }
  const TLineList& Errors() const { return m_errors; }
  const TLineList& Others() const { return m_others; }
  const TLineCounts& Counts() const { return m_counts; }

 private:
  TLineList& ListOf(std::int32_t level);

  std::size_t m_shownLines;
  NZARNCORE::TLineAttribution m_attribution;
  TLineList m_findings;
  TLineList m_errors;
  TLineList m_others;
  TLineCounts m_counts;
};

}  // namespace NZARN
