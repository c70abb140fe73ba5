#include "collectors/InventoryDocument.h"

#include <ctime>
#include <utility>

#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>

#include "zarn/TextEncoding.h"

namespace NZARNCOLLECT {

using NZARNCORE::ECollectionState;

namespace {

TClassResult Result(std::string name, std::string source, ECollectionState state,
                    std::string reason, boost::json::array instances) {
  return TClassResult{
      NZARNCORE::TCollectedClass{std::move(name), std::move(source), state, std::move(reason)},
      std::move(instances)};
}

const char* StateName(ECollectionState state) {
  switch (state) {
    case ECollectionState::Read:
      return "read";
    case ECollectionState::Absent:
      return "absent";
    case ECollectionState::Unreadable:
      break;
  }
  return "unreadable";
}

void WriteText(std::string& out, const std::string& text) {
  out += boost::json::serialize(boost::json::string_view(NZARN::RepairUtf8(text)));
}

// JSON with a blank after every ':' and ',', as people write inventories.
void WriteValue(std::string& out, const boost::json::value& value) {
  if (value.is_string()) return WriteText(out, std::string(value.get_string()));
  if (!value.is_object()) {
    out += boost::json::serialize(value);
    return;
  }
  out += '{';
  const char* separator = "";
  for (const boost::json::key_value_pair& member : value.get_object()) {
    out += separator;
    WriteText(out, std::string(member.key()));
    out += ": ";
    WriteValue(out, member.value());
    separator = ", ";
  }
  out += '}';
}

void WriteMember(std::string& out, const char* indent, const std::string& key) {
  out += indent;
  WriteText(out, key);
  out += ": ";
}

boost::json::object RecordEntry(const NZARNCORE::TCollectedClass& how) {
  boost::json::object entry{{"source", how.source}, {"state", StateName(how.state)}};
  if (!how.reason.empty()) entry["reason"] = how.reason;
  return entry;
}

void WriteRecordText(std::string& out, const char* key, const std::string& text) {
  WriteMember(out, "    ", key);
  WriteText(out, text);
  out += ",\n";
}

void WriteRecord(std::string& out, const TCollectedInventory& inventory,
                 const TCollectorStamp& stamp) {
  out += "  \"collection\": {\n";
  WriteRecordText(out, "collector", stamp.collector);
  WriteRecordText(out, "version", stamp.version);
  if (!inventory.host.empty()) WriteRecordText(out, "host", inventory.host);
  WriteRecordText(out, "time", stamp.time);
  out += "    \"classes\": {";
  const char* separator = "\n";
  for (const TClassResult& cls : inventory.classes) {
    out += separator;
    WriteMember(out, "      ", cls.how.name);
    WriteValue(out, RecordEntry(cls.how));
    separator = ",\n";
  }
  out += "\n    }\n  },\n";
}

void WriteInstances(std::string& out, const boost::json::array& instances) {
  if (instances.empty()) {
    out += "[]";
    return;
  }
  out += '[';
  const char* separator = "\n";
  for (const boost::json::value& instance : instances) {
    out += separator;
    out += "      ";
    WriteValue(out, instance);
    separator = ",\n";
  }
  out += "\n    ]";
}

}  // namespace

TClassResult ReadClass(std::string name, std::string source, boost::json::array instances,
                       std::string note) {
  return Result(std::move(name), std::move(source), ECollectionState::Read, std::move(note),
                std::move(instances));
}

TClassResult AbsentClass(std::string name, std::string source, std::string reason) {
  return Result(std::move(name), std::move(source), ECollectionState::Absent, std::move(reason),
                {});
}

TClassResult UnreadableClass(std::string name, std::string source, std::string reason) {
  return Result(std::move(name), std::move(source), ECollectionState::Unreadable, std::move(reason),
                {});
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  return text;
}

boost::json::value Uint16(boost::optional<std::uint16_t> value) {
  return boost::json::object{
      {"uint16", value ? boost::json::value(*value) : boost::json::value(nullptr)}};
}

std::string InventoryText(const TCollectedInventory& inventory, const TCollectorStamp& stamp) {
  std::string out = "{\n  \"format\": 1,\n  \"operatingSystemType\": " +
                    std::to_string(inventory.operatingSystemType) + ",\n";
  WriteRecord(out, inventory, stamp);
  out += "  \"classes\": {";
  const char* separator = "\n";
  for (const TClassResult& cls : inventory.classes) {
    out += separator;
    WriteMember(out, "    ", cls.how.name);
    WriteInstances(out, cls.instances);
    separator = ",\n";
  }
  out += "\n  }\n}\n";
  return out;
}

}  // namespace NZARNCOLLECT
