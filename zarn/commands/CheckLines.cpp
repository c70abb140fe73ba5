#include "zarn/commands/CheckLines.h"

#include <algorithm>

#include "host/Analysis.h"
#include "zarn/output/MonitoringOutput.h"

namespace NZARN {

using NQELZARN20::kLevelAdvice;
using NQELZARN20::kLevelError;
using NQELZARN20::kLevelFinding;

void TLoggedLines::OnLog(std::int32_t level, const std::string& text) {
  TCheckLine line{level, text, std::string(), std::string(), std::nullopt};
  const std::optional<std::size_t>& concerned = m_attribution.Concerned();
  if (m_inventory && concerned) {
    line.className = m_inventory->Class(m_inventory->ClassOf(*concerned)).name;
    line.instance = m_inventory->Label(*concerned);
    line.concerned = concerned;
  }
  m_lines.push_back(std::move(line));
}

std::size_t TLoggedLines::Count(std::int32_t level) const {
  std::size_t count = 0;
  for (const TCheckLine& line : m_lines) count += line.level == level ? 1 : 0;
  return count;
}

std::size_t TLoggedLines::LeaveOut(const std::function<bool(const TCheckLine&)>& leave) {
  const std::size_t before = m_lines.size();
  m_lines.erase(std::remove_if(m_lines.begin(), m_lines.end(), leave), m_lines.end());
  return before - m_lines.size();
}

std::vector<std::string> TLoggedLines::LongOutput() const {
  std::vector<std::string> output;
  for (const TCheckLine& line : m_lines) {
    const char* kind = line.level == kLevelFinding  ? "finding: "
                       : line.level == kLevelAdvice ? "advice: "
                       : line.level == kLevelError  ? "error: "
                                                    : nullptr;
    if (kind) output.push_back(kind + OutputLine(line.text));
  }
  return output;
}

}  // namespace NZARN
