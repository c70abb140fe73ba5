#include "zarn/InventoryInput.h"

#include <iostream>
#include <new>

#include "zarncore/InventoryLoader.h"

namespace NZARN {

std::string InventoryName(const std::string& argument) {
  return argument == kStandardInput ? "standard input" : argument;
}

boost::shared_ptr<NZARNCORE::TInventory> LoadInventoryArgument(const std::string& argument) {
  try {
    if (argument != kStandardInput) return NZARNCORE::LoadInventoryFile(argument);
    return NZARNCORE::LoadInventoryStream(std::cin, InventoryName(argument));
  } catch (const std::bad_alloc&) {
    // What was loaded so far is freed by now, so the message has room.
    throw NZARNCORE::TInventoryError(InventoryName(argument) +
                                     ": out of memory while loading the inventory");
  }
}

}  // namespace NZARN
