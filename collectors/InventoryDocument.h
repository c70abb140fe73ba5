#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/json/array.hpp>
#include <boost/json/value.hpp>
#include <boost/optional.hpp>

#include "zarncore/Inventory.h"

namespace NZARNCOLLECT {

// One class of a collected inventory: how it was come by, and its instances.
struct TClassResult {
  NZARNCORE::TCollectedClass how;
  boost::json::array instances;
};

// note: what the record adds about a class that was read, if anything.
TClassResult ReadClass(std::string name, std::string source, boost::json::array instances,
                       std::string note = std::string());
TClassResult AbsentClass(std::string name, std::string source, std::string reason);
TClassResult UnreadableClass(std::string name, std::string source, std::string reason);

// What a collector found on one machine, every class the plug-in reads
// among it.
struct TCollectedInventory {
  std::uint16_t operatingSystemType = 0;
  std::string host;  // empty when unknown
  std::vector<TClassResult> classes;
};

// Who collected, and when.
struct TCollectorStamp {
  std::string collector;
  std::string version;
  std::string time;
};

// The time now, in UTC and ISO 8601: 2026-12-06T15:59:22Z.
std::string UtcNow();

// A uint16 value of the inventory format; a typed null when unknown.
boost::json::value Uint16(boost::optional<std::uint16_t> value);

// The inventory file: the operating-system type, the collection record and
// the classes, one instance a line. Each byte of a text that is not part of
// well-formed UTF-8 becomes U+FFFD; control characters are kept, escaped.
std::string InventoryText(const TCollectedInventory& inventory, const TCollectorStamp& stamp);

}  // namespace NZARNCOLLECT
