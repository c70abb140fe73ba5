#include "zarn/InventoryInput.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include "zarncore/InventoryLoader.h"

namespace NZARN {

namespace {

namespace fs = std::filesystem;

const char kStandardInputAmongMany[] =
    "'-' (standard input) can only be the one inventory of a command";
const char kNothingToAnalyse[] = "no inventory to analyse: no *.json file beneath ";

std::vector<std::string> InventoriesBeneath(const std::string& folder) {
  std::vector<std::string> found;
  try {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
      if (entry.path().extension() == ".json" && entry.is_regular_file())
        found.push_back(entry.path().generic_string());
    }
  } catch (const fs::filesystem_error& error) {
    throw TInventoryListError("cannot list " + folder + ": " + error.code().message());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

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

std::vector<std::string> ExpandInventories(const std::vector<std::string>& arguments) {
  std::vector<std::string> inventories;
  std::string lastFolder;
  for (const std::string& argument : arguments) {
    if (argument == kStandardInput) throw TInventoryListError(kStandardInputAmongMany);
    std::error_code error;
    if (!fs::is_directory(argument, error)) {
      inventories.push_back(argument);
      continue;
    }
    const std::vector<std::string> beneath = InventoriesBeneath(argument);
    inventories.insert(inventories.end(), beneath.begin(), beneath.end());
    lastFolder = argument;
  }
  if (inventories.empty()) throw TInventoryListError(kNothingToAnalyse + lastFolder);
  return inventories;
}

}  // namespace NZARN
