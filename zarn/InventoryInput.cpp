#include "zarn/InventoryInput.h"

#include <iostream>

#include "zarncore/InventoryLoader.h"

namespace NZARN {

std::string InventoryName(const std::string& argument) {
  return argument == kStandardInput ? "standard input" : argument;
}

boost::shared_ptr<NZARNCORE::TInventory> LoadInventoryArgument(const std::string& argument) {
  if (argument != kStandardInput) return NZARNCORE::LoadInventoryFile(argument);
  return NZARNCORE::LoadInventoryStream(std::cin, InventoryName(argument));
}

}  // namespace NZARN
