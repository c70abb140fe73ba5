// Any bytes given to the inventory loader end in a loaded inventory or in one
// TInventoryError that names the source and the place; nothing else may leave
// the loader.
#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/shared_ptr.hpp>

#include "fuzz/Failure.h"
#include "zarncore/InventoryLoader.h"

namespace {

using NZARNCORE::TInventory;

const char kSource[] = "fuzz.json";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "fuzz.json:LINE:COLUMN: ..." for a syntax error, "fuzz.json: PATH: ..."
// for anything else; one line of printable text.
void CheckMessage(const std::string& message) {
  const std::string start = std::string(kSource) + ":";
  if (message.compare(0, start.size(), start) != 0 || message.size() == start.size())
    NFUZZ::Fail("the load error does not name the source: " + message);
  const char next = message[start.size()];
  if (next != ' ' && !IsDigit(next)) NFUZZ::Fail("the load error names no place: " + message);
  for (const char c : message)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      NFUZZ::Fail("the load error holds a control character: " + message);
}

// What the loader built holds together: every instance sits in its class at
// its place, and associations run both ways between existing instances.
void CheckLoaded(const TInventory& inventory) {
  std::size_t listed = 0;
  for (std::size_t classIndex = 0; classIndex < inventory.ClassCount(); ++classIndex) {
    const TInventory::TClass& cimClass = inventory.Class(classIndex);
    if (inventory.FindClass(cimClass.name) != &cimClass)
      NFUZZ::Fail("class not found by its name: " + cimClass.name);
    for (std::size_t at = 0; at < cimClass.instances.size(); ++at) {
      const TInventory::TInstanceIndex instance = cimClass.instances[at];
      if (inventory.ClassOf(instance) != classIndex || inventory.IndexInClass(instance) != at)
        NFUZZ::Fail("instance out of place in " + cimClass.name);
    }
    listed += cimClass.instances.size();
  }
  if (listed != inventory.InstanceCount()) NFUZZ::Fail("instances outside every class");
  std::size_t ends = 0;
  for (std::size_t index = 0; index < inventory.InstanceCount(); ++index) {
    for (const TInventory::TInstanceIndex other : inventory.Associated(index))
      if (other >= inventory.InstanceCount()) NFUZZ::Fail("association to no instance");
    ends += inventory.Associated(index).size();
  }
  if (ends != 2 * inventory.AssociationCount()) NFUZZ::Fail("association that runs one way");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const boost::shared_ptr<TInventory> inventory = NZARNCORE::LoadInventoryText(text, kSource);
    CheckLoaded(*inventory);
  } catch (const NZARNCORE::TInventoryError& error) {
    CheckMessage(error.what());
  }
  return 0;
}
