#include "zarn/known/Acknowledgements.h"

#include "host/Analysis.h"

namespace NZARN {

TAcknowledgements::TAcknowledgements(const TKnownFile& file, const std::string& host, TDate today)
    : m_file(file), m_host(host), m_today(today), m_used(file.entries.size(), false) {
  for (std::size_t i = 0; i < file.entries.size(); ++i) {
    const TKnownEntry& entry = file.entries[i];
    if (!entry.host || *entry.host == host) m_byText.emplace(entry.finding, i);
  }
}

std::optional<TAcknowledgement> TAcknowledgements::Match(std::int32_t level,
                                                         const std::string& text) {
  if (level != NQELZARN20::kLevelFinding && level != NQELZARN20::kLevelAdvice) return std::nullopt;
  const auto found = m_byText.equal_range(text);
  std::optional<TAcknowledgement> match;
  for (auto at = found.first; at != found.second; ++at) {
    const TKnownEntry& entry = m_file.entries[at->second];
    const bool ended = entry.until < m_today;
    if (!match || (match->ended && !ended)) match = TAcknowledgement{&entry, at->second, ended};
  }
  if (match) m_used[match->index] = true;
  return match;
}

std::vector<std::size_t> TAcknowledgements::Used() const {
  std::vector<std::size_t> used;
  for (std::size_t i = 0; i < m_used.size(); ++i) {
    if (m_used[i]) used.push_back(i);
  }
  return used;
}

std::string EntryName(const TKnownFile& file, std::size_t index) {
  const TKnownEntry& entry = file.entries[index];
  const std::string name = "known[" + std::to_string(index) + "]";
  return entry.host ? name + " (host " + *entry.host + ")" : name;
}

std::vector<std::string> UnusedTexts(const TKnownFile& file, const std::set<std::string>& hosts,
                                     const std::vector<std::size_t>& used) {
  std::vector<bool> matched(file.entries.size(), false);
  for (const std::size_t index : used) {
    if (index < matched.size()) matched[index] = true;
  }
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < file.entries.size(); ++i) {
    const TKnownEntry& entry = file.entries[i];
    const bool applies =
        hosts.count(entry.host.value_or(std::string())) != 0 || (!entry.host && !hosts.empty());
    if (applies && !matched[i])
      texts.push_back(EntryName(file, i) + " matched no finding: " + entry.finding);
  }
  return texts;
}

std::string AcknowledgementText(const TAcknowledgement& acknowledgement) {
  const TKnownEntry& entry = *acknowledgement.entry;
  return (acknowledgement.ended ? "acknowledgement ended after " : "known until ") +
         DateText(entry.until) + ": " + entry.reason;
}

}  // namespace NZARN
