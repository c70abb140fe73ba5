#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <optional>

#include "zarn/output/OutputWriter.h"

namespace NZARN {

// How the analysis of one inventory of several ended: the last JSONL
// record of the inventory, and what its child process tells the parent.
struct TInventorySummary {
  std::string path;
  std::string host;  // empty when its collection record names none
  int status = 0;
  std::optional<TLineCounts> counts;  // none when it was not analysed
  // The entries of the known file that matched its lines, for the parent
  // to tell which matched nothing at all; no member of the JSONL output.
  std::vector<std::size_t> knownUsed;
};

// The members every JSONL record of the inventory starts with:
// "path": P, "host": H, (the host only where there is one).
std::string JsonlPrefix(const std::string& path, const std::string& host);

// {"path": P, "host": H, "status": S, "findings": N, ...} and a line feed.
void WriteInventorySummary(std::ostream& out, const TInventorySummary& record);

// The record a line holds; none when it holds none.
std::optional<TInventorySummary> ParseInventorySummary(const std::string& line);

}  // namespace NZARN
