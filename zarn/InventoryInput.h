#pragma once

#include <string>

#include <boost/shared_ptr.hpp>

#include "zarncore/Inventory.h"

namespace NZARN {

// The inventory a command names: a file, or standard input for "-".
const char kStandardInput[] = "-";

// What messages call it.
std::string InventoryName(const std::string& argument);

// Throws TInventoryError, naming the file or standard input, also when
// memory runs out while loading.
boost::shared_ptr<NZARNCORE::TInventory> LoadInventoryArgument(const std::string& argument);

}  // namespace NZARN
