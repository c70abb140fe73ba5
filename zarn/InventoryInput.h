#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zarncore/Inventory.h"

namespace NZARN {

// The inventory a command names: a file, or standard input for "-".
const char kStandardInput[] = "-";

// What messages call it.
std::string InventoryName(const std::string& argument);

// Why a list of inventories cannot be analysed, such as a folder that
// cannot be listed.
class TInventoryListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The inventories several arguments name: each folder replaced by every
// *.json file beneath it, in the byte order of their paths, named with '/'
// between folders on every system. Throws TInventoryListError for '-'
// among them, a folder that cannot be listed, or no inventory at all.
std::vector<std::string> ExpandInventories(const std::vector<std::string>& arguments);

// Throws TInventoryError, naming the file or standard input, also when
// memory runs out while loading.
boost::shared_ptr<NZARNCORE::TInventory> LoadInventoryArgument(const std::string& argument);

}  // namespace NZARN
