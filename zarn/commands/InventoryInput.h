#pragma once

#include <optional>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zarncore/Inventory.h"

namespace NZARN {

// The inventory a command names: a file, or standard input for "-".
const char kStandardInput[] = "-";

// What messages call it.
std::string InventoryName(const std::string& argument);

// An inventory named on the command line (a file, or standard input), or
// found in a folder.
struct TListedInventory {
  std::string path;
  bool inFolder = false;
};

// What several arguments name: each folder replaced by every *.json file
// beneath it, in the byte order of their paths, named with '/' between
// folders on every system; and each folder beneath that could not be
// listed, with why ("perm/sub: permission denied").
struct TInventoryList {
  std::vector<TListedInventory> inventories;
  std::vector<std::string> unlisted;
};

// What the arguments name, each problem reported as an error: '-' among
// them, a folder that cannot be listed, no inventory at all. None when
// there is nothing to analyse.
std::optional<TInventoryList> ListInventories(const std::vector<std::string>& arguments);

// Throws TInventoryError, naming the file or standard input, also when
// memory runs out while loading. A file found in a folder may have been
// replaced since (a FIFO would hold its analysis forever), so it is opened
// without waiting and read only when it is still a regular file.
boost::shared_ptr<NZARNCORE::TInventory> LoadInventory(
    const TListedInventory& inventory,
    NZARNCORE::EPropertyValues values = NZARNCORE::EPropertyValues::Kept);

}  // namespace NZARN
