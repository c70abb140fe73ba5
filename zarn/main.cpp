#include <cstdio>
#include <cstring>
#include <ios>
#include <new>

#include "zarn/cli/CommandLine.h"
#include "zarn/commands/Commands.h"
#include "zarn/output/MonitoringOutput.h"

int main(int argc, char** argv) {
  const bool check = argc >= 2 && std::strcmp(argv[1], "check") == 0;
  try {
    std::ios::sync_with_stdio(false);
    return NZARN::RunCommandLine(argc, argv);
  } catch (const std::bad_alloc&) {
    // Loading and RunAnalysis say more where it happens; elsewhere this is
    // all there is to say, written without asking for memory.
    if (check) {
      std::fputs("TVXANAL UNKNOWN: out of memory\n", stdout);
      std::fflush(stdout);
      return static_cast<int>(NZARN::EMonitoringState::Unknown);
    }
    std::fputs("zarn: error: out of memory\n", stderr);
    return NZARN::eExitUsage;
  }
}
