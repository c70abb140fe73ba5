#include "zarn/output/InventorySummary.h"

#include <string>
#include <utility>

#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::AppendJsonString;

namespace {

// The counts in the order the record writes them.
const std::pair<const char*, std::size_t TLineCounts::*> kCountKeys[] = {
    {"findings", &TLineCounts::findings},       {"advice", &TLineCounts::advice},
    {"errors", &TLineCounts::errors},           {"diagnostics", &TLineCounts::diagnostics},
    {"otherLevels", &TLineCounts::otherLevels}, {"hidden", &TLineCounts::hidden}};

const char kKnownKey[] = "known";
const char kKnownUsedKey[] = "knownUsed";

std::optional<std::size_t> Count(const boost::json::object& object, const char* key) {
  const boost::json::value* value = object.if_contains(key);
  if (!value || !value->is_int64() || value->as_int64() < 0) return std::nullopt;
  return static_cast<std::size_t>(value->as_int64());
}

std::optional<TLineCounts> Counts(const boost::json::object& object) {
  if (!object.contains(kCountKeys[0].first)) return std::nullopt;
  TLineCounts counts;
  for (const auto& key : kCountKeys) {
    const std::optional<std::size_t> count = Count(object, key.first);
    if (!count) return std::nullopt;
    counts.*key.second = *count;
  }
  if (object.contains(kKnownKey)) counts.known = Count(object, kKnownKey).value_or(0);
  return counts;
}

}  // namespace

std::string JsonlPrefix(const std::string& path, const std::string& host) {
  std::string prefix = "\"path\": ";
  AppendJsonString(prefix, path);
  prefix += ", ";
  if (!host.empty()) {
    prefix += "\"host\": ";
    AppendJsonString(prefix, host);
    prefix += ", ";
  }
  return prefix;
}

// The record is made whole before it is written: a child's stderr is a pipe
// without a buffer, and each piece written alone would wake the parent.
void WriteInventorySummary(std::ostream& out, const TInventorySummary& record) {
  std::string line = '{' + JsonlPrefix(record.path, record.host) + "\"status\": ";
  line += std::to_string(record.status);
  if (record.counts) {
    for (const auto& key : kCountKeys)
      line +=
          ", \"" + std::string(key.first) + "\": " + std::to_string((*record.counts).*key.second);
    if (record.counts->known != 0)
      line += ", \"" + std::string(kKnownKey) + "\": " + std::to_string(record.counts->known);
  }
  if (!record.knownUsed.empty()) {
    line += ", \"" + std::string(kKnownUsedKey) + "\": [";
    for (std::size_t i = 0; i < record.knownUsed.size(); ++i)
      line += (i == 0 ? "" : ", ") + std::to_string(record.knownUsed[i]);
    line += ']';
  }
  line += "}\n";
  out << line;
}

std::optional<TInventorySummary> ParseInventorySummary(const std::string& line) {
  boost::system::error_code error;
  const boost::json::value value = boost::json::parse(line, error);
  if (error || !value.is_object()) return std::nullopt;
  const boost::json::object& object = value.get_object();
  const boost::json::value* path = object.if_contains("path");
  const boost::json::value* host = object.if_contains("host");
  const boost::json::value* status = object.if_contains("status");
  if (!path || !path->is_string() || !status || !status->is_int64()) return std::nullopt;
  if (host && !host->is_string()) return std::nullopt;
  TInventorySummary record;
  record.path = std::string(path->get_string());
  if (host) record.host = std::string(host->get_string());
  record.status = static_cast<int>(status->get_int64());
  record.counts = Counts(object);
  const boost::json::value* used = object.if_contains(kKnownUsedKey);
  if (used && used->is_array()) {
    for (const boost::json::value& index : used->get_array()) {
      if (index.is_int64() && index.get_int64() >= 0)
        record.knownUsed.push_back(static_cast<std::size_t>(index.get_int64()));
    }
  }
  return record;
}

}  // namespace NZARN
