#include <algorithm>
#include <iostream>
#include <limits>
#include <string>

#include <CLI/CLI.hpp>

#include "zarn/commands/Commands.h"
#include "zarn/process/ExecutablePath.h"
#include "zarn/commands/HostSession.h"
#include "zarn/output/MonitoringOutput.h"
#include "zarn/cli/OptionValues.h"

namespace NZARN {

namespace {

const char kVersion[] = "zarn check " ZARN_VERSION;
const char kUsage[] =
    "Usage: zarn check [--root DIR] [-w RANGE] [-c RANGE] [-t SECONDS] [--plugin PATH]";
const char kUsageErrorStart[] = "TVXANAL UNKNOWN: ";

const char kHelp[] =
    "Collects this machine and analyses it with the plug-in, and reports as a\n"
    "monitoring plug-in: a line with the state, a summary and the performance\n"
    "data, then a line for each finding, advice and error of the plug-in and for\n"
    "each class the collector could not read, or read only in part.\n"
    "\n"
    "Options:\n"
    " -h, --help\n"
    "    Print this help and exit\n"
    " -V, --version\n"
    "    Print the version and exit\n"
    " --root DIR\n"
    "    Collect the machine image under DIR instead of this machine\n"
    " -w, --warning=RANGE\n"
    "    WARNING when the number of findings lies outside RANGE\n"
    "    (default: WARNING for any finding or advice)\n"
    " -c, --critical=RANGE\n"
    "    CRITICAL when the number of findings lies outside RANGE (default: never)\n"
    " -t, --timeout=SECONDS\n"
    "    UNKNOWN when the check has not ended after SECONDS (default: 10)\n"
    " --plugin PATH\n"
    "    The plug-in library (default: tvxanal.pi beside zarn, else the installed one)\n"
    "\n"
    "RANGE is [@][START:][END]: START is 0 when left out and ~ for minus\n"
    "infinity, END infinity when left out after the colon. A number outside\n"
    "START..END raises the alert; with @, a number inside it. For example:\n"
    "  -w 3      more than 3 findings\n"
    "  -w 3:     fewer than 3\n"
    "  -c 2:10   fewer than 2 or more than 10\n"
    "  -c @1:5   1 to 5\n"
    "\n"
    "Exit status: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN. UNKNOWN when the\n"
    "collection fails, the plug-in cannot be loaded or fails, it writes an error\n"
    "(it could not look at everything), or the time limit passes; also for\n"
    "--help, --version and a command line that is wrong. Never OK without having\n"
    "looked: a class of the machine (PCI devices, packages, services) that could\n"
    "not be read, wholly or in part, is UNKNOWN unless the findings make it\n"
    "WARNING or CRITICAL. The adapter's own records, which only its management\n"
    "software reports, are named and change no state.\n";

CLI::Validator RangeCheck() {
  return CLI::Validator(
      [](const std::string& text) {
        return ParseRange(text) ? std::string()
                                : "'" + text + "' is not a range such as 3, 3:, ~:3, 2:10 or @1:5";
      },
      "");
}

CLI::Validator TimeoutCheck() {
  return CLI::Validator(
      [](const std::string& text) {
        return ParseCount(text) ? std::string()
                                : "'" + text + "' is not a number of seconds (1 to " +
                                      std::to_string(std::numeric_limits<int>::max()) + ")";
      },
      "");
}

// The texts CLI11 takes, parsed once it has checked them.
struct TCheckCommand {
  std::string root;
  std::string warning;
  std::string critical;
  std::string timeout = "10";
  std::string plugin = DefaultPluginPath().string();
  bool partOfRun = false;
  const CLI::Option* rootGiven = nullptr;
  const CLI::Option* warningGiven = nullptr;
  const CLI::Option* criticalGiven = nullptr;
};

void AddOptions(CLI::App& check, TCheckCommand& command) {
  command.rootGiven = check.add_option("--root", command.root)->type_name("DIR");
  command.warningGiven =
      check.add_option("-w,--warning", command.warning)->type_name("RANGE")->check(RangeCheck());
  command.criticalGiven =
      check.add_option("-c,--critical", command.critical)->type_name("RANGE")->check(RangeCheck());
  check.add_option("-t,--timeout", command.timeout)->type_name("SECONDS")->check(TimeoutCheck());
  check.add_option("--plugin", command.plugin)->type_name("PATH");
  check.add_flag("--part-of-run", command.partOfRun);
}

TCheckOptions Finished(const TCheckCommand& command) {
  TCheckOptions options;
  if (command.rootGiven->count() != 0) options.root = command.root;
  if (command.warningGiven->count() != 0) options.thresholds.warning = ParseRange(command.warning);
  if (command.criticalGiven->count() != 0)
    options.thresholds.critical = ParseRange(command.critical);
  options.timeoutSeconds = *ParseCount(command.timeout);
  options.plugin = command.plugin;
  options.partOfRun = command.partOfRun;
  return options;
}

// --help and --version win over every other argument, even a wrong one.
bool Given(int argc, char** argv, const char* shortName, const char* longName) {
  return std::any_of(argv + 1, argv + argc, [&](const char* arg) {
    return std::string(arg) == shortName || std::string(arg) == longName;
  });
}

}  // namespace

int RunCheckCommand(int argc, char** argv) {
  const int unknown = static_cast<int>(EMonitoringState::Unknown);
  if (Given(argc, argv, "-h", "--help")) {
    std::cout << kVersion << '\n' << kUsage << "\n\n" << kHelp;
    return unknown;
  }
  if (Given(argc, argv, "-V", "--version")) {
    std::cout << kVersion << '\n';
    return unknown;
  }
  CLI::App check("", "zarn check");
  KeepConventions(check);
  check.set_help_flag();
  TCheckCommand command;
  AddOptions(check, command);
  try {
    check.parse(argc, argv);
    RefuseRepeatedOptions(check);
  } catch (const CLI::ParseError& error) {
    std::cout << kUsageErrorStart << SummaryLine(error.what()) << '\n' << kUsage << '\n';
    return unknown;
  }
  return RunCheck(Finished(command));
}

}  // namespace NZARN
