#include "zarn/report/ReportLines.h"

#include "host/Analysis.h"

namespace NZARN {

void TReportLines::OnLog(std::int32_t level, const std::string& text) {
  CountLine(m_counts, level);
  TLineList& list = ListOf(level);
  if (list.total++ < m_shownLines)
    list.shown.push_back(TReportedLine{level, text, m_attribution.Concerned()});
}

TLineList& TReportLines::ListOf(std::int32_t level) {
  if (level == NQELZARN20::kLevelFinding || level == NQELZARN20::kLevelAdvice) return m_findings;
  return level == NQELZARN20::kLevelError ? m_errors : m_others;
}

}  // namespace NZARN
