#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "support/AnalysisHarness.h"

namespace NTESTS {

const char kDiskDrive[] = "QELSG_txDiskDrive";
const char kDiskDriveVersion[] = "QELSG_txDiskDriveVersion";

// The classes every check of a pass reads, with no instances: a pass over it
// writes nothing, so whatever a test adds shows on its own.
inline TInventoryBuilder DiskInventory() { return QuietServer(); }

// The host calls of one of the three disk steps that open a pass, counted
// from 0: from its lookup of the disk class up to the next class lookup.
inline std::vector<std::string> CallsOfDiskStep(const std::vector<std::string>& calls,
                                                std::size_t step) {
  const std::string lookup = std::string("GetClass ") + kDiskDrive;
  std::vector<std::string> found;
  std::size_t lookups = 0;
  bool inside = false;
  for (const std::string& call : calls) {
    if (call.rfind("GetClass ", 0) == 0) inside = call == lookup && lookups++ == step;
    if (inside) found.push_back(call);
  }
  return found;
}

}  // namespace NTESTS
