#include "zarn/commands/InventoryInput.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#include "zarn/commands/HostSession.h"
#include "zarncore/Files.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/Text.h"

namespace NZARN {

namespace {

namespace fs = std::filesystem;

const char kStandardInputAmongMany[] =
    "'-' (standard input) can only be the one inventory of a command";
const char kNothingToAnalyze[] = "no inventory to analyse: no *.json file beneath ";

// Every *.json file beneath folder into found, and each folder that cannot
// be listed into unlisted; a folder reached through a symbolic link is not
// entered.
void ListBeneath(const fs::path& folder, std::vector<std::string>& found, TInventoryList& list) {
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::error_code ignored;
    if (entry->is_directory(ignored) && !entry->is_symlink(ignored)) {
      ListBeneath(entry->path(), found, list);
    } else if (entry->path().extension() == ".json" && entry->is_regular_file(ignored)) {
      found.push_back(entry->path().generic_string());
    }
  }
  if (error)
    list.unlisted.push_back(folder.generic_string() + ": " + NZARNCORE::ErrorReason(error));
}

}  // namespace

std::string InventoryName(const std::string& argument) {
  return argument == kStandardInput ? "standard input" : argument;
}

boost::shared_ptr<NZARNCORE::TInventory> LoadInventory(const TListedInventory& inventory,
                                                       NZARNCORE::EPropertyValues values) {
  const std::string& path = inventory.path;
  try {
    if (path == kStandardInput) {
      return NZARNCORE::LoadInventoryStream(stdin, InventoryName(path), values);
    }
    return NZARNCORE::LoadInventoryFile(
        path, inventory.inFolder ? NZARNCORE::EFileKind::Regular : NZARNCORE::EFileKind::Any,
        values);
  } catch (const std::bad_alloc&) {
    // What was loaded so far is freed by now, so the message has room.
    throw NZARNCORE::TInventoryError(InventoryName(path) +
                                     ": out of memory while loading the inventory");
  }
}

std::optional<TInventoryList> ListInventories(const std::vector<std::string>& arguments) {
  TInventoryList list;
  std::string lastFolder;
  for (const std::string& argument : arguments) {
    if (argument == kStandardInput) {
      ReportError(kStandardInputAmongMany);
      return std::nullopt;
    }
    if (!NZARNCORE::IsFolder(argument)) {
      list.inventories.push_back({argument, false});
      continue;
    }
    std::vector<std::string> found;
    ListBeneath(argument, found, list);
    std::sort(found.begin(), found.end());
    for (std::string& path : found) list.inventories.push_back({std::move(path), true});
    lastFolder = argument;
  }
  for (const std::string& folder : list.unlisted)
    ReportError("cannot list " + folder + "; the inventories beneath it are left out");
  if (list.inventories.empty() && list.unlisted.empty())
    ReportError(kNothingToAnalyze + lastFolder);
  if (list.inventories.empty()) return std::nullopt;
  return list;
}

}  // namespace NZARN
