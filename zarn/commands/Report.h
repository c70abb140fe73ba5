#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zarn/commands/InventoryInput.h"

namespace NZARN {

struct TReportOptions {
  std::vector<std::string> inventories;
  std::string plugin;
  std::optional<std::string> output;  // none for stdout
  int jobs = 1;                       // inventories analysed at a time, when there are several
  bool partOfRun = false;             // zarn reports on one inventory of several for its parent
};

// The page on one inventory, or on several (or a folder) with an overview,
// each analysed in a child process of its own. Exits 0 once the page is
// written, whatever it shows; analyze's statuses for what failed.
int RunReport(const TReportOptions& options);

// The exit status of a report from analyze's for an inventory: the page is
// written whatever it shows, so only a failure counts.
int ReportStatus(int analyzeStatus);

// The part of the page on one inventory of several, on stdout, and how its
// analysis ended, as the last line of stderr: the work of a child.
int RunReportMember(const TReportOptions& options, const TListedInventory& inventory);

int RunReportMany(const TReportOptions& options);

}  // namespace NZARN
