#include <algorithm>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "zarn/cli/CommandLine.h"
#include "zarn/cli/OptionValues.h"
#include "zarn/cli/PluginPath.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/output/MonitoringOutput.h"
#include "zarn/output/OutputFile.h"

namespace NZARN {

namespace {

const char kVersion[] = "zarn check " ZARN_VERSION;
const char kUsage[] =
    "Usage: zarn check [--root DIR | --inventory FILE] [-w RANGE] [-c RANGE] [-t SECONDS]\n"
    "                  [--plugin PATH] [--prometheus FILE] [--known FILE]\n"
    "                  [--state FILE] [--max-event-age DAYS]";
const char kUsageErrorStart[] = "TVXANAL UNKNOWN: ";

const char kHelp[] =
    "Collects this machine, or loads an inventory collected elsewhere, analyses\n"
    "it with the plug-in, and reports as a monitoring plug-in: a line with the\n"
    "state, a summary and the performance data, then a line for each finding,\n"
    "advice and error of the plug-in and for each class the collector could not\n"
    "read, or read only in part.\n"
    "\n"
    "Options:\n"
    " -h, --help\n"
    "    Print this help and exit\n"
    " -V, --version\n"
    "    Print the version and exit\n"
    " --root DIR\n"
    "    Collect the machine image under DIR instead of this machine\n"
    " --inventory FILE\n"
    "    Analyse the inventory in FILE (- for standard input), collected\n"
    "    elsewhere, instead of collecting; one that cannot be loaded is UNKNOWN\n"
    " -w, --warning=RANGE\n"
    "    WARNING when the number of findings lies outside RANGE\n"
    "    (default: WARNING for any finding or advice)\n"
    " -c, --critical=RANGE\n"
    "    CRITICAL when the number of findings lies outside RANGE (default: never)\n"
    " -t, --timeout=SECONDS\n"
    "    UNKNOWN when the check has not ended after SECONDS (default: 10)\n"
    " --plugin PATH\n"
    "    The plug-in library (default: tvxanal.pi beside zarn, else the installed one)\n"
    " --prometheus FILE\n"
    "    Also write the state and the figures of the run to FILE, whole, in\n"
    "    Prometheus' text format, for node_exporter's textfile collector\n"
    " --known FILE\n"
    "    Show the findings and advice FILE acknowledges as known, and leave\n"
    "    them out of the state; one that cannot be loaded is UNKNOWN\n"
    " --state FILE\n"
    "    Report a finding about a record of the System event log once: keep\n"
    "    in FILE the records reported, and leave out those an earlier run\n"
    "    reported; on Windows, read only the records newer than those seen\n"
    " --max-event-age DAYS\n"
    "    Read the System event log's records of the last DAYS days only, and\n"
    "    keep a record in the state file that long after a run last saw it\n"
    "    (default: 30)\n"
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
    "collection fails or the inventory cannot be loaded, the plug-in cannot be\n"
    "loaded or fails, it writes an error (it could not look at everything), the\n"
    "time limit passes, or the figures or the state file cannot be written; also\n"
    "for --help, --version and a command line that is wrong, which write no\n"
    "figures. A run that ends UNKNOWN leaves the state file as it was: the next\n"
    "run reports its events again. Never OK without having looked: a class of\n"
    "the machine (PCI devices, packages, services) that could not be read,\n"
    "wholly or in part, is UNKNOWN unless the findings make it WARNING or\n"
    "CRITICAL. The adapter's own records, which only its management software\n"
    "reports, are named and change no state.\n";

const char kRangeExpected[] = "a range such as 3, 3:, ~:3, 2:10 or @1:5";

void AddOptions(CLI::App& check, TCheckOptions& options) {
  CLI::Option* root = AddParsedOption(check, "--root", options.root, AnyText, "");
  root->type_name("DIR");
  AddParsedOption(check, "--inventory", options.inventory, AnyText, "")
      ->type_name("FILE")
      ->excludes(root);
  AddParsedOption(check, "-w,--warning", options.thresholds.warning, ParseRange, kRangeExpected)
      ->type_name("RANGE");
  AddParsedOption(check, "-c,--critical", options.thresholds.critical, ParseRange, kRangeExpected)
      ->type_name("RANGE");
  AddParsedOption(check, "-t,--timeout", options.timeoutSeconds, ParseCount, CountOf("seconds"))
      ->type_name("SECONDS");
  options.plugin = DefaultPluginPath().string();
  check.add_option("--plugin", options.plugin)->type_name("PATH");
  AddParsedOption(check, "--prometheus", options.prometheus, AnyText, "")
      ->type_name("FILE")
      ->check(CLI::Validator(OutputPathProblem, ""));
  AddParsedOption(check, "--known", options.known, AnyText, "")->type_name("FILE");
  AddParsedOption(check, "--state", options.state, AnyText, "")
      ->type_name("FILE")
      ->check(CLI::Validator(OutputPathProblem, ""));
  AddParsedOption(check, "--max-event-age", options.maxEventDays, ParseCount, CountOf("days"))
      ->type_name("DAYS");
  check.add_flag("--part-of-run", options.partOfRun);
}

// --help and --version win over every other argument, even a wrong one.
bool Given(int argc, char** argv, const char* shortName, const char* longName) {
  return std::any_of(argv + 1, argv + argc, [&](const char* arg) {
    return std::string(arg) == shortName || std::string(arg) == longName;
  });
}

}  // namespace

int RunMonitoringCommandLine(int argc, char** argv) {
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
  TCheckOptions options;
  AddOptions(check, options);
  try {
    check.parse(argc, argv);
    RefuseRepeatedOptions(check);
  } catch (const CLI::ParseError& error) {
    std::cout << kUsageErrorStart << SummaryLine(error.what()) << '\n' << kUsage << '\n';
    return unknown;
  }
  return RunMonitoringCheck(options);
}

}  // namespace NZARN
