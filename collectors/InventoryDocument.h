#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/json/object.hpp>
#include <boost/json/value.hpp>
#include <optional>

#include "zarncore/Inventory.h"

namespace NZARNCOLLECT {

// A class's instances, each written out as the inventory file holds it as
// soon as it is added: a long list costs about its text, not a tree of
// JSON values.
class TInstanceList {
 public:
  void Add(const boost::json::object& instance);
  std::size_t Size() const { return m_count; }
  // One instance a line, lines apart by ",\n"; empty for none.
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
  std::size_t m_count = 0;
};

// One class of a collected inventory: how it was come by, and its instances.
struct TClassResult {
  NZARNCORE::TCollectedClass how;
  TInstanceList instances;
};

// note: what the record adds about a class that was read, if anything.
TClassResult ReadClass(std::string name, std::string source, TInstanceList instances,
                       std::string note = std::string());
// lost: what could not be read, and why.
TClassResult PartialClass(std::string name, std::string source, TInstanceList instances,
                          std::string lost);
TClassResult AbsentClass(std::string name, std::string source, std::string reason);
TClassResult UnreadableClass(std::string name, std::string source, std::string reason);

// What a collector found on one machine, every class the plug-in reads
// among it.
struct TCollectedInventory {
  std::optional<std::uint16_t> operatingSystemType;  // left out when unknown
  std::string host;                                  // empty when unknown
  std::vector<TClassResult> classes;
};

// The adapter's own records, which only its management software reports:
// every collector lists them as classes it could not read.
void AddAdapterClasses(TCollectedInventory& inventory);

// Whether the class is one of those: a class no collector of the machine
// can read, so that its absence says nothing about the machine.
bool OnlyManagementSoftwareReports(const std::string& className);

// Who collected, and when.
struct TCollectorStamp {
  std::string collector;
  std::string version;
  std::string time;
};

// The time now, in UTC and ISO 8601: 2026-12-06T15:59:22Z.
std::string UtcNow();

// A typed value of the inventory format: {"uint32": 26}.
boost::json::value Typed(NQELZARN20::ECIMType type, boost::json::value value);

// A uint16 value; a typed null when unknown.
boost::json::value Uint16(std::optional<std::uint16_t> value);

// The inventory file: the operating-system type, the collection record and
// the classes, one instance a line. Each byte of a text that is not part of
// well-formed UTF-8 becomes U+FFFD; control characters are kept, escaped.
std::string InventoryText(const TCollectedInventory& inventory, const TCollectorStamp& stamp);

}  // namespace NZARNCOLLECT
