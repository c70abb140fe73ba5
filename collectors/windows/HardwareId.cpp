#include "collectors/windows/HardwareId.h"

#include <charconv>
#include <sstream>

#include <boost/algorithm/string/predicate.hpp>

namespace NZARNCOLLECT {

namespace {

const char kPciBus[] = "PCI\\";

// Exactly `digits` hexadecimal digits, either case.
std::optional<std::uint16_t> Hex(const std::string& text, std::size_t at, std::size_t digits) {
  if (text.size() < at + digits) return std::nullopt;
  std::uint16_t value = 0;
  const char* end = text.data() + at + digits;
  const auto parsed = std::from_chars(text.data() + at, end, value, 16);
  if (parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
  return value;
}

// The field NAME_value among the &-separated fields, its value exactly
// `digits` long; none when it is missing or malformed.
std::optional<std::string> Field(const std::string& fields, const std::string& name,
                                 std::size_t digits) {
  std::istringstream items(fields);
  for (std::string item; std::getline(items, item, '&');) {
    if (boost::algorithm::istarts_with(item, name + "_")) {
      return item.size() == name.size() + 1 + digits ? std::make_optional(item) : std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<std::uint16_t> Id(const std::string& fields, const std::string& name) {
  const std::optional<std::string> field = Field(fields, name, 4);
  return field ? Hex(*field, name.size() + 1, 4) : std::nullopt;
}

}  // namespace

std::optional<TPciIdentity> ParsePciHardwareId(const std::string& id) {
  if (!boost::algorithm::istarts_with(id, kPciBus)) return std::nullopt;
  const std::size_t begin = sizeof kPciBus - 1;
  const std::string fields = id.substr(begin, id.find('\\', begin) - begin);
  TPciIdentity identity{Id(fields, "VEN"), Id(fields, "DEV"), std::nullopt, std::nullopt};
  if (const std::optional<std::string> subsystem = Field(fields, "SUBSYS", 8)) {
    identity.subDevice = Hex(*subsystem, 7, 4);
    identity.subVendor = Hex(*subsystem, 11, 4);
  }
  return identity;
}

}  // namespace NZARNCOLLECT
