#pragma once

namespace NZARN {

// zarn's command line: parses it, runs the command it names and gives the
// exit status. zarn check has a command line of its own, which follows
// the monitoring plug-ins' conventions.
int RunCommandLine(int argc, char** argv);

// zarn check's command line; argv[0] is "check".
int RunMonitoringCommandLine(int argc, char** argv);

}  // namespace NZARN
