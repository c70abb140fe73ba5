#include "collectors/InventoryDocument.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <utility>

#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>

#include "zarncore/InventoryFormat.h"
#include "zarncore/Schema.h"
#include "zarncore/Text.h"

namespace NZARNCOLLECT {

using NZARNCORE::ECollectionState;

namespace {

using NZARNCORE::NSchema::kAdapterSoftwareClasses;

const char kAdapterSource[] = "the adapter's management software";
const char kAdapterReason[] = "only the adapter's management software reports it";

TClassResult Result(std::string name, std::string source, ECollectionState state,
                    std::string reason, TInstanceList instances) {
  return TClassResult{
      NZARNCORE::TCollectedClass{std::move(name), std::move(source), state, std::move(reason)},
      std::move(instances)};
}

void WriteText(std::string& out, const std::string& text) {
  NZARNCORE::AppendJsonString(out, text);
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

// An object with a member for each class, each on its own line, its value
// written by write; the caller closes it, as it knows the indent.
template <class TWrite>
void WriteClasses(std::string& out, const char* indent, const std::vector<TClassResult>& classes,
                  TWrite write) {
  out += "{";
  const char* separator = "\n";
  for (const TClassResult& cls : classes) {
    out += separator;
    WriteMember(out, indent, cls.how.name);
    write(cls);
    separator = ",\n";
  }
}

boost::json::object RecordEntry(const NZARNCORE::TCollectedClass& how) {
  boost::json::object entry{{NZARNCORE::kSourceKey, how.source},
                            {NZARNCORE::kStateKey, std::string(NZARNCORE::StateName(how.state))}};
  if (!how.reason.empty()) entry[NZARNCORE::kReasonKey] = how.reason;
  return entry;
}

void WriteRecordText(std::string& out, const char* key, const std::string& text) {
  WriteMember(out, "    ", key);
  WriteText(out, text);
  out += ",\n";
}

void WriteRecord(std::string& out, const TCollectedInventory& inventory,
                 const TCollectorStamp& stamp) {
  WriteMember(out, "  ", NZARNCORE::kCollectionKey);
  out += "{\n";
  WriteRecordText(out, NZARNCORE::kCollectorKey, stamp.collector);
  WriteRecordText(out, NZARNCORE::kVersionKey, stamp.version);
  if (!inventory.host.empty()) WriteRecordText(out, NZARNCORE::kHostKey, inventory.host);
  WriteRecordText(out, NZARNCORE::kTimeKey, stamp.time);
  WriteMember(out, "    ", NZARNCORE::kClassesKey);
  WriteClasses(out, "      ", inventory.classes,
               [&out](const TClassResult& cls) { WriteValue(out, RecordEntry(cls.how)); });
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
  for (const char* name : kAdapterSoftwareClasses) {
    inventory.classes.push_back(UnreadableClass(name, kAdapterSource, kAdapterReason));
  }
}

bool OnlyManagementSoftwareReports(const std::string& className) {
  return std::find(std::begin(kAdapterSoftwareClasses), std::end(kAdapterSoftwareClasses),
                   className) != std::end(kAdapterSoftwareClasses);
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  return text;
}

boost::json::value Typed(NQELZARN20::ECIMType type, boost::json::value value) {
  boost::json::object typed;
  typed[std::string(NZARNCORE::TypeName(type))] = std::move(value);
  return typed;
}

boost::json::value Uint16(std::optional<std::uint16_t> value) {
  return Typed(NQELZARN20::eCIMTypeUInt16, value ? boost::json::value(*value) : nullptr);
}

// The instances' texts are most of the file: room for them is made at
// once, so that a long list is not copied as the text grows.
std::string InventoryText(const TCollectedInventory& inventory, const TCollectorStamp& stamp) {
  std::string out = "{\n";
  WriteMember(out, "  ", NZARNCORE::kFormatKey);
  out += std::to_string(NZARNCORE::kFormatVersion) + ",\n";
  std::size_t size = 4096;
  for (const TClassResult& cls : inventory.classes) size += cls.instances.Text().size() + 512;
  out.reserve(size);
  if (inventory.operatingSystemType) {
    WriteMember(out, "  ", NZARNCORE::kOperatingSystemTypeKey);
    out += std::to_string(*inventory.operatingSystemType) + ",\n";
  }
  WriteRecord(out, inventory, stamp);
  WriteMember(out, "  ", NZARNCORE::kClassesKey);
  WriteClasses(out, "    ", inventory.classes,
               [&out](const TClassResult& cls) { WriteInstances(out, cls.instances); });
  out += "\n  }\n}\n";
  return out;
}

}  // namespace NZARNCOLLECT
