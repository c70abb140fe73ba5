#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "zarn/output/MonitoringOutput.h"
#include "zarncore/Inventory.h"

namespace NZARN {

// zarn check's figures in Prometheus' text format, for node_exporter's
// textfile collector. The work of the check runs in a child process, which
// gives its figures after its report; the parent, which knows the state the
// check ends with even when the child never reports, writes the file.

// What the check's work found.
struct TRunFigures {
  std::size_t findings = 0;
  std::size_t advice = 0;
  std::size_t errors = 0;
  std::size_t diagnostics = 0;
  std::size_t known = 0;  // findings and advice a known file acknowledges
  // Findings that count, by the class of the instance they concern, in
  // the order first seen; "" for those that concern none.
  std::vector<std::pair<std::string, std::size_t>> findingsByClass;
  double collectSeconds = 0;
  double analyzeSeconds = 0;
  // Each class the collector tried to read, and whether it read it in full.
  std::vector<std::pair<std::string, bool>> classes;
};

// The classes of the inventory's collection record that a collector tries
// to read: all but the adapter's own records, which no collector of the
// machine can read. A class the machine does not have was read in full.
std::vector<std::pair<std::string, bool>> TriedClasses(const NZARNCORE::TInventory& inventory);

// In the child, after its report.
void WriteRunFigures(std::ostream& out, const TRunFigures& figures);

// In the parent: the child's output without its figures, and their text,
// which is empty when the child gave none.
std::pair<std::string, std::string> SplitRunFigures(const std::string& childOutput);

// Writes the file at path whole, as zarn collect -o does: zarn's version,
// the state the check reported and when it ended, then the child's figures
// (none when the work ended without a report). Gives why it failed; empty
// on success.
std::string WriteCheckMetrics(const std::string& path, EMonitoringState state,
                              const std::string& runFigures);

}  // namespace NZARN
