#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zarn/known/KnownFile.h"

namespace NZARN {

// How a logged line stands against a known file: the entry that names it,
// and whether that entry's day has passed, so that it counts again.
struct TAcknowledgement {
  const TKnownEntry* entry = nullptr;
  std::size_t index = 0;  // of the entry in the file
  bool ended = false;
};

// Matches the findings and advice one inventory's analysis logs against the
// entries of a known file that apply to its host, and notes which entries
// matched.
class TAcknowledgements {
 public:
  // host: the inventory's, as its collection record names it; empty when it
  // names none, so that only entries for any host apply.
  TAcknowledgements(const TKnownFile& file, const std::string& host, TDate today);

  // For a finding or advice that an entry names: one still in force first.
  std::optional<TAcknowledgement> Match(std::int32_t level, const std::string& text);

  // The entries that matched a line, by their index in the file.
  std::vector<std::size_t> Used() const;
  const TKnownFile& File() const { return m_file; }
  const std::string& Host() const { return m_host; }

 private:
  std::unordered_multimap<std::string_view, std::size_t> m_byText;
  const TKnownFile& m_file;
  std::string m_host;
  TDate m_today;
  std::vector<bool> m_used;
};

// How the output names an entry: "known[2]", with its host when it has one.
std::string EntryName(const TKnownFile& file, std::size_t index);

// "known[2] (host db1) matched no finding: TEXT" for each entry of the file
// that applies to an inventory analysed (one of these hosts, "" for one
// that names none) and is not among used, the entries that matched a line
// of any of them. An entry for a host not analysed is no stale one.
std::vector<std::string> UnusedTexts(const TKnownFile& file, const std::set<std::string>& hosts,
                                     const std::vector<std::size_t>& used);

// "known until 2027-01-31: REASON", or "acknowledgement ended after
// 2026-11-30: REASON" for one whose day has passed.
std::string AcknowledgementText(const TAcknowledgement& acknowledgement);

}  // namespace NZARN
