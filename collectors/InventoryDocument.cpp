#include "collectors/InventoryDocument.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <utility>

#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>

#include "zarn/TextEncoding.h"

namespace NZARNCOLLECT {

using NZARNCORE::ECollectionState;

namespace {

const char kAdapterSource[] = "the adapter's management software";
const char kAdapterReason[] = "only the adapter's management software reports it";
const char* const kAdapterClasses[] = {
    "QELSG_txSCSIProtocolController", "QELSG_txBiosVersion",    "QELSG_txDiskDrive",
    "QELSG_txDiskDriveVersion",       "QELSG_txSCSIDeviceData", "QELSG_BadStripeData"};

TClassResult Result(std::string name, std::string source, ECollectionState state,
                    std::string reason, TInstanceList instances) {
  return TClassResult{
      NZARNCORE::TCollectedClass{std::move(name), std::move(source), state, std::move(reason)},
      std::move(instances)};
}

const char* StateName(ECollectionState state) {
  return NZARNCORE::kCollectionStateNames[static_cast<std::size_t>(state)];
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

void WriteInstances(std::string& out, const TInstanceList& instances) {
  if (instances.Size() == 0) {
    out += "[]";
    return;
  }
  out += "[\n";
  out += instances.Text();
  out += "\n    ]";
}

}  // namespace

void TInstanceList::Add(const boost::json::object& instance) {
  if (m_count++ != 0) m_text += ",\n";
  m_text += "      ";
  WriteValue(m_text, instance);
}

TClassResult ReadClass(std::string name, std::string source, TInstanceList instances,
                       std::string note) {
  return Result(std::move(name), std::move(source), ECollectionState::Read, std::move(note),
                std::move(instances));
}

TClassResult PartialClass(std::string name, std::string source, TInstanceList instances,
                          std::string lost) {
  return Result(std::move(name), std::move(source), ECollectionState::Partial, std::move(lost),
                std::move(instances));
}

TClassResult AbsentClass(std::string name, std::string source, std::string reason) {
  return Result(std::move(name), std::move(source), ECollectionState::Absent, std::move(reason),
                TInstanceList());
}

TClassResult UnreadableClass(std::string name, std::string source, std::string reason) {
  return Result(std::move(name), std::move(source), ECollectionState::Unreadable, std::move(reason),
                TInstanceList());
}

void AddAdapterClasses(TCollectedInventory& inventory) {
  for (const char* name : kAdapterClasses) {
    inventory.classes.push_back(UnreadableClass(name, kAdapterSource, kAdapterReason));
  }
}

bool OnlyManagementSoftwareReports(const std::string& className) {
  return std::find(std::begin(kAdapterClasses), std::end(kAdapterClasses), className) !=
         std::end(kAdapterClasses);
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

// The instances' texts are most of the file: room for them is made at
// once, so that a long list is not copied as the text grows.
std::string InventoryText(const TCollectedInventory& inventory, const TCollectorStamp& stamp) {
  std::string out = "{\n  \"format\": 1,\n";
  std::size_t size = 4096;
  for (const TClassResult& cls : inventory.classes) size += cls.instances.Text().size() + 512;
  out.reserve(size);
  if (inventory.operatingSystemType) {
    out += "  \"operatingSystemType\": " + std::to_string(*inventory.operatingSystemType) + ",\n";
  }
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
