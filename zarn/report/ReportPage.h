#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zarn/output/InventorySummary.h"
#include "zarn/report/ReportLines.h"
#include "zarncore/Inventory.h"

namespace NZARN {

// How many lines a list of the page shows, and rows a table: a flooded
// inventory must still give a page that a browser opens at once.
constexpr std::size_t kShownLines = 1000;
constexpr std::size_t kShownRows = 500;

// What the page shows of one inventory.
struct TInventoryReport {
  std::string name;                                  // as messages name it
  const NZARNCORE::TInventory* inventory = nullptr;  // null when it could not be loaded
  const TReportLines* lines = nullptr;               // null when it was not analysed
  std::vector<std::string> problems;  // why it was not loaded, or not analysed in full
  int status = 0;                     // analyze's exit status for it
};

// The part of a page that shows one inventory, its headings from <h2> on a
// page of its own, from <h3> under an overview.
std::string InventoryPart(const TInventoryReport& report, int depth);

// The page of one inventory, whole.
std::string InventoryPage(const TInventoryReport& report);

// One inventory of several: how its analysis ended, and its part.
struct TReportMember {
  TInventorySummary record;
  std::string part;
};

// The page of several inventories, whole: an overview, one row for each,
// worst first, each leading to its part; then the parts in that order.
// notes say what the overview cannot, such as folders not listed.
std::string OverviewPage(std::vector<TReportMember> members, const std::vector<std::string>& notes);

}  // namespace NZARN
