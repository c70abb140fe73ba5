// What the collectors parse from files an image's owner controls: any bytes
// give a result or a TSourceError, never a crash, and what they give
// becomes a valid line of an inventory. The first byte chooses the parser.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>

#include "collectors/InventoryDocument.h"
#include "collectors/SourceError.h"
#include "collectors/linux/LinuxSources.h"
#include "collectors/windows/HardwareId.h"
#include "collectors/windows/RenderedEvent.h"
#include "fuzz/Failure.h"

namespace {

using namespace NZARNCOLLECT;

// The instances as the inventory file holds them must read back as JSON.
void CheckWritten(const TInstanceList& instances) {
  boost::system::error_code error;
  boost::json::parse("[" + instances.Text() + "]", error);
  if (error) NFUZZ::Fail("an instance is written as no JSON: " + instances.Text());
}

// dpkg's status file and the journal's files, apart by form feeds.
void Dpkg(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find('\f', begin)) != std::string::npos; begin = end + 1)
    parts.push_back(text.substr(begin, end - begin));
  parts.push_back(text.substr(begin));
  const std::string status = parts.front();
  parts.erase(parts.begin());
  TInstanceList products;
  for (const std::string& name : DpkgInstalled(status, parts)) {
    if (name.empty() || name.find('\n') != std::string::npos)
      NFUZZ::Fail("a package name that is empty or holds a line break: " + name);
    products.Add(boost::json::object{{"ProductName", name}});
  }
  CheckWritten(products);
}

void PciId(const std::string& text) {
  if (ParsePciId(text) && text.compare(0, 2, "0x") != 0)
    NFUZZ::Fail("an ID read from a text that does not start with 0x: " + text);
}

void UnitName(const std::string& text) {
  if (!IsServiceUnitName(text)) return;
  if (text.size() > 255 || text.find('/') != std::string::npos || text[0] == '.' ||
      text.compare(text.size() - 8, 8, ".service") != 0)
    NFUZZ::Fail("a name systemd rejects taken for a service: " + text);
}

void UnitFile(const std::string& text) {
  const TInstallRules rules = ParseInstallRules(text);
  if (!rules.aliases.empty() && !rules.enables) NFUZZ::Fail("an alias that enables nothing");
  for (const auto& state : ParseUnitStates(text)) {
    if (state.first.find_first_of(" \t\n") != std::string::npos)
      NFUZZ::Fail("a service name with a blank: " + state.first);
  }
}

void HardwareId(const std::string& text) {
  const bool pci = text.size() >= 4 && (text[0] | 0x20) == 'p' && (text[1] | 0x20) == 'c' &&
                   (text[2] | 0x20) == 'i' && text[3] == '\\';
  if (ParsePciHardwareId(text).has_value() != pci)
    NFUZZ::Fail("a hardware ID taken for what it is not: " + text);
}

void Event(const std::string& text) {
  try {
    TInstanceList records;
    records.Add(ParseRenderedEvent(text).Instance());
    CheckWritten(records);
  } catch (const TSourceError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 6) {
    case 0:
      Dpkg(text);
      break;
    case 1:
      PciId(text);
      break;
    case 2:
      UnitName(text);
      break;
    case 3:
      UnitFile(text);
      break;
    case 4:
      HardwareId(text);
      break;
    default:
      Event(text);
  }
  return 0;
}
