#include "zarn/state/EventState.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include <boost/json.hpp>

#include "zarncore/Schema.h"
#include "zarncore/Text.h"

namespace NZARN {

namespace {

using NZARNCORE::TInventory;
using NZARNCORE::NSchema::TEventLogRecord;

constexpr std::int64_t kFormat = 1;
const char kFormatKey[] = "format";
const char kNewestKey[] = "newestRecord";
const char kRecordsKey[] = "records";
const char kTimeKey[] = "time";
const char kSourceKey[] = "source";
const char kEventIdKey[] = "eventId";
const char kMessageKey[] = "message";
const char kSeenKey[] = "lastSeen";

// The property's value as text, repaired, so that it survives the file;
// none when it is null or missing.
std::optional<std::string> PropertyText(const TInventory& inventory,
                                        TInventory::TInstanceIndex instance, const char* name) {
  const std::optional<TInventory::TNameId> id = inventory.FindName(name);
  if (!id) return std::nullopt;
  const std::optional<TInventory::TPropertyRef> property = inventory.FindProperty(instance, *id);
  if (!property) return std::nullopt;
  const NQELZARN20::TCIMValue value = property->Value();
  if (value.IsNull()) return std::nullopt;
  return NZARNCORE::RepairUtf8(value.ToString(10));
}

[[noreturn]] void Refuse(const std::string& where, const std::string& what) {
  throw std::runtime_error(where + what);
}

const boost::json::value& Member(const boost::json::object& object, const char* key,
                                 const std::string& where) {
  const boost::json::value* value = object.if_contains(key);
  if (!value) Refuse(where, std::string(" has no \"") + key + '"');
  return *value;
}

std::string TextOf(const boost::json::value& value, const std::string& where) {
  if (!value.is_string()) Refuse(where, " is not text");
  return std::string(value.get_string());
}

std::optional<std::string> NullableText(const boost::json::object& object, const char* key,
                                        const std::string& where) {
  const boost::json::value& value = Member(object, key, where);
  if (value.is_null()) return std::nullopt;
  return TextOf(value, where + "." + key);
}

std::int64_t IntegerOf(const boost::json::value& value, const std::string& where) {
  if (value.is_int64()) return value.get_int64();
  if (value.is_uint64() && value.get_uint64() <= static_cast<std::uint64_t>(INT64_MAX))
    return static_cast<std::int64_t>(value.get_uint64());
  Refuse(where, " is not an integer");
}

const boost::json::object& ObjectOf(const boost::json::value& value, const std::string& where) {
  if (!value.is_object()) Refuse(where, " is not an object");
  return value.get_object();
}

boost::json::value Nullable(const std::optional<std::string>& text) {
  return text ? boost::json::value(*text) : boost::json::value(nullptr);
}

}  // namespace

bool TEventIdentity::operator<(const TEventIdentity& other) const {
  return std::tie(time, source, eventId, message) <
         std::tie(other.time, other.source, other.eventId, other.message);
}

std::optional<TEventIdentity> EventIdentityOf(const TInventory& inventory,
                                              TInventory::TInstanceIndex instance) {
  if (inventory.Class(inventory.ClassOf(instance)).name != TEventLogRecord::kClass)
    return std::nullopt;
  return TEventIdentity{
      PropertyText(inventory, instance, TEventLogRecord::kTimeGenerated).value_or(""),
      PropertyText(inventory, instance, TEventLogRecord::kSourceName).value_or(""),
      PropertyText(inventory, instance, TEventLogRecord::kEventId),
      PropertyText(inventory, instance, TEventLogRecord::kMessage)};
}

std::optional<std::string> NewestEventTime(const TInventory& inventory) {
  if (inventory.Collection()) {
    for (const NZARNCORE::TCollectedClass& cls : inventory.Collection()->classes)
      if (cls.name == TEventLogRecord::kClass && !NZARNCORE::ReadInFull(cls.state))
        return std::nullopt;
  }
  const TInventory::TClass* records = inventory.FindClass(TEventLogRecord::kClass);
  if (!records) return std::nullopt;
  std::optional<std::string> newest;
  for (std::size_t i = 0; i < records->instances.size(); ++i) {
    const std::optional<std::string> time =
        PropertyText(inventory, records->instances[i], TEventLogRecord::kTimeGenerated);
    if (time && (!newest || *newest < *time)) newest = time;
  }
  return newest;
}

TEventState TEventState::Parse(const std::string& text) {
  boost::json::error_code error;
  const boost::json::value document = boost::json::parse(text, error);
  if (error) Refuse("not JSON: ", error.message());
  const boost::json::object& top = ObjectOf(document, "the file");
  const std::int64_t format = IntegerOf(Member(top, kFormatKey, "the file"), kFormatKey);
  if (format != kFormat)
    Refuse(kFormatKey, " is " + std::to_string(format) + ", a format this zarn does not read");
  TEventState state;
  state.m_newest = NullableText(top, kNewestKey, "the file");
  const boost::json::value& records = Member(top, kRecordsKey, "the file");
  if (!records.is_array()) Refuse(kRecordsKey, " is not a list");
  for (std::size_t i = 0; i < records.get_array().size(); ++i) {
    const std::string where = std::string(kRecordsKey) + "[" + std::to_string(i) + "]";
    const boost::json::object& record = ObjectOf(records.get_array()[i], where);
    TEventIdentity identity{TextOf(Member(record, kTimeKey, where), where + "." + kTimeKey),
                            TextOf(Member(record, kSourceKey, where), where + "." + kSourceKey),
                            NullableText(record, kEventIdKey, where),
                            NullableText(record, kMessageKey, where)};
    state.Report(identity, IntegerOf(Member(record, kSeenKey, where), where + "." + kSeenKey));
  }
  return state;
}

// One record a line, so that the file reads and compares well.
std::string TEventState::Text() const {
  std::string text = "{\n  \"format\": " + std::to_string(kFormat) + ",\n  \"" + kNewestKey +
                     "\": " + boost::json::serialize(Nullable(m_newest)) + ",\n  \"" + kRecordsKey +
                     "\": [";
  const char* separator = "\n    ";
  for (const auto& [record, seen] : m_records) {
    const boost::json::object object{{kTimeKey, record.time},
                                     {kSourceKey, record.source},
                                     {kEventIdKey, Nullable(record.eventId)},
                                     {kMessageKey, Nullable(record.message)},
                                     {kSeenKey, seen}};
    text += separator + boost::json::serialize(object);
    separator = ",\n    ";
  }
  return text + (m_records.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void TEventState::Report(const TEventIdentity& record, std::int64_t seen) {
  auto [at, added] = m_records.emplace(record, seen);
  if (!added) at->second = std::max(at->second, seen);
}

void TEventState::SetNewest(const std::string& time) {
  if (!m_newest || *m_newest < time) m_newest = time;
}

void TEventState::Merge(const TEventState& other) {
  for (const auto& [record, seen] : other.m_records) Report(record, seen);
  if (other.m_newest) SetNewest(*other.m_newest);
}

void TEventState::ForgetUnseenSince(std::int64_t cutoff) {
  for (auto at = m_records.begin(); at != m_records.end();)
    at = at->second < cutoff ? m_records.erase(at) : std::next(at);
}

}  // namespace NZARN
