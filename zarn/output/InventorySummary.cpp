#include "zarn/output/InventorySummary.h"

#include <sstream>
#include <utility>

#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include "zarn/TextEncoding.h"

namespace NZARN {

namespace {

// The counts in the order the record writes them.
const std::pair<const char*, std::size_t TLineCounts::*> kCountKeys[] = {
    {"findings", &TLineCounts::findings},       {"advice", &TLineCounts::advice},
    {"errors", &TLineCounts::errors},           {"diagnostics", &TLineCounts::diagnostics},
    {"otherLevels", &TLineCounts::otherLevels}, {"hidden", &TLineCounts::hidden}};

boost::optional<std::size_t> Count(const boost::json::object& object, const char* key) {
  const boost::json::value* value = object.if_contains(key);
  if (!value || !value->is_int64() || value->as_int64() < 0) return boost::none;
  return static_cast<std::size_t>(value->as_int64());
}

boost::optional<TLineCounts> Counts(const boost::json::object& object) {
  if (!object.contains(kCountKeys[0].first)) return boost::none;
  TLineCounts counts;
  for (const auto& key : kCountKeys) {
    const boost::optional<std::size_t> count = Count(object, key.first);
    if (!count) return boost::none;
    counts.*key.second = *count;
  }
  return counts;
}

}  // namespace

std::string RecordPrefix(const std::string& path, const std::string& host) {
  std::ostringstream prefix;
  prefix << "\"path\": ";
  WriteJsonString(prefix, path);
  prefix << ", ";
  if (!host.empty()) {
    prefix << "\"host\": ";
    WriteJsonString(prefix, host);
    prefix << ", ";
  }
  return prefix.str();
}

void WriteInventoryRecord(std::ostream& out, const TInventoryRecord& record) {
  out << '{' << RecordPrefix(record.path, record.host) << "\"status\": " << record.status;
  if (record.counts) {
    for (const auto& key : kCountKeys)
      out << ", \"" << key.first << "\": " << (*record.counts).*key.second;
  }
  out << "}\n";
}

boost::optional<TInventoryRecord> ParseInventoryRecord(const std::string& line) {
  boost::system::error_code error;
  const boost::json::value value = boost::json::parse(line, error);
  if (error || !value.is_object()) return boost::none;
  const boost::json::object& object = value.get_object();
  const boost::json::value* path = object.if_contains("path");
  const boost::json::value* host = object.if_contains("host");
  const boost::json::value* status = object.if_contains("status");
  if (!path || !path->is_string() || !status || !status->is_int64()) return boost::none;
  if (host && !host->is_string()) return boost::none;
  TInventoryRecord record;
  record.path = std::string(path->get_string());
  if (host) record.host = std::string(host->get_string());
  record.status = static_cast<int>(status->get_int64());
  record.counts = Counts(object);
  return record;
}

}  // namespace NZARN
