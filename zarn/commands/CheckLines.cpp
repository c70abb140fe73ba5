#include "zarn/commands/CheckLines.h"

#include <algorithm>

#include "host/Analysis.h"
#include "zarn/output/MonitoringOutput.h"
#include "zarncore/Text.h"

namespace NZARN {

using NQELZARN20::kLevelAdvice;
using NQELZARN20::kLevelError;
using NQELZARN20::kLevelFinding;

void TLoggedLines::OnLog(std::int32_t level, const std::string& text) {
  TCheckLine line{level, text, std::string(), std::string(), std::nullopt, std::nullopt};
  if (m_acknowledgements) line.acknowledgement = m_acknowledgements->Match(level, text);
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
  for (const TCheckLine& line : m_lines) count += line.level == level && !line.Known() ? 1 : 0;
  return count;
}

std::size_t TLoggedLines::CountKnown() const {
  std::size_t count = 0;
  for (const TCheckLine& line : m_lines) count += line.Known() ? 1 : 0;
  return count;
}

std::vector<std::pair<std::string, std::size_t>> TLoggedLines::FindingsByClass() const {
  std::vector<std::pair<std::string, std::size_t>> counts;
  for (const TCheckLine& line : m_lines) {
    if (line.level != kLevelFinding || line.Known()) continue;
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&line](const auto& count) { return count.first == line.className; });
    if (found == counts.end()) found = counts.insert(counts.end(), {line.className, 0});
    ++found->second;
  }
  return counts;
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
    if (!kind) continue;
    std::string shown = kind + OutputLine(line.text);
    if (line.acknowledgement) {
      const TKnownEntry& entry = *line.acknowledgement->entry;
      shown += std::string(line.Known() ? " (until " : " (acknowledgement ended after ") +
               DateText(entry.until) + ": " + OutputLine(entry.reason) + ")";
    }
    output.push_back(line.Known() ? "known " + shown : shown);
  }
  return output;
}

std::string TLoggedLines::KnownSummary() const {
  if (!m_acknowledgements) return std::string();
  std::size_t ended = 0;
  for (const TCheckLine& line : m_lines) ended += line.acknowledgement && !line.Known() ? 1 : 0;
  std::string text = ", " + std::to_string(CountKnown()) + " known";
  if (ended == 0) return text;
  return text + ", " + NZARNCORE::Counted(ended, "acknowledgement ended", "acknowledgements ended");
}

std::optional<TPerfValue> TLoggedLines::KnownPerfValue() const {
  if (!m_acknowledgements) return std::nullopt;
  return TPerfValue{"known", std::to_string(CountKnown()), "", "", "", "0"};
}

std::vector<std::string> TLoggedLines::UnusedLines() const {
  std::vector<std::string> lines;
  if (!m_acknowledgements) return lines;
  for (const std::string& text : UnusedTexts(
           m_acknowledgements->File(), {m_acknowledgements->Host()}, m_acknowledgements->Used()))
    lines.push_back("unused: " + OutputLine(text));
  return lines;
}

}  // namespace NZARN
