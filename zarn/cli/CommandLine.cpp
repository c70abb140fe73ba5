#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "host/Analysis.h"
#include "zarn/cli/CommandLine.h"
#include "zarn/cli/OptionValues.h"
#include "zarn/cli/PluginPath.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarn/commands/Report.h"
#include "zarn/output/OutputFile.h"

namespace NZARN {
namespace {

const char* const kDefaultClass = NQELZARN20::kHeavyHittersAnalysisClass;

const char kAnalyzeFooter[] =
    "Exit status, the first that applies:\n"
    "  2  usage error, or the inventory cannot be loaded\n"
    "  4  the plug-in cannot be loaded, or it registered nothing\n"
    "  3  an exception left RunAnalysis\n"
    "  5  the plug-in still held host references after RunAnalysis\n"
    "  7  the output could not be written\n"
    "  1  a line at level 100 (finding) or 101 (advice) was written\n"
    "  6  no finding, but a line at level 0 (error) was written, or the\n"
    "     inventory's collection record has a class that could not be read,\n"
    "     or was read only in part\n"
    "  0  no line at level 0, 100 or 101\n"
    "--levels hides lines only; the exit status counts every line.\n"
    "Several inventories, or a folder: each is analysed in a process of its own,\n"
    "and the status is the first of the above that applies to any of them.\n";

const char kInventoryHelp[] =
    "The inventory file (JSON), or - for standard input; several files, or a\n"
    "folder for every *.json file beneath it, are analysed each on its own";
const char kInventoryOfValidateHelp[] = "The inventory file (JSON), or - for standard input";

const char kCollectFooter[] =
    "Exit status: 0 written, 2 usage error or unusable --root (nothing written),\n"
    "7 the output could not be written. A class that could not be read, or was\n"
    "read only in part, is no failure: the inventory's collection record says why.\n";

const char kKnownFooter[] =
    "Writes a known file to stdout: an entry for each finding and advice of the\n"
    "JSONL that is not known yet, each text (and host) once, e.g.\n"
    "  zarn analyze server.json --format jsonl | zarn known --reason 'spare\n"
    "  ordered' --until 2027-01-31 > known.json\n"
    "Exit status: 0 written, 2 usage error or a line that is no JSONL of\n"
    "zarn analyze, 7 the output could not be written.\n";

const char kReportFooter[] =
    "Exit status, the first that applies:\n"
    "  2  usage error, or an inventory cannot be loaded\n"
    "  4  the plug-in cannot be loaded (for one inventory, no page is written)\n"
    "  3  an exception left RunAnalysis\n"
    "  5  the plug-in still held host references after RunAnalysis\n"
    "  7  the page could not be written\n"
    "  0  the page was written, whatever it shows\n";

// As many inventories at a time as the machine has cores.
int DefaultJobs() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

void AddPluginOption(CLI::App& command, std::string& plugin) {
  plugin = DefaultPluginPath().string();
  command
      .add_option("--plugin", plugin,
                  "The plug-in library (default: tvxanal.pi beside zarn, else the installed one)")
      ->type_name("PATH");
}

// The options of a command that takes several inventories.
void AddRunOptions(CLI::App& command, int& jobs, bool& partOfRun) {
  jobs = DefaultJobs();
  AddParsedOption(command, "-j,--jobs", jobs, ParseCount, CountOf("jobs"),
                  "Analyse N inventories at a time, when there are several\n"
                  "(default: the number of cores, " +
                      std::to_string(jobs) + ")")
      ->type_name("N");
  // How zarn hands one inventory of several to a zarn of its own.
  command.add_flag("--part-of-run", partOfRun)->group("");
}

std::optional<EFormat> ParseFormat(const std::string& text) {
  return text == "jsonl" ? EFormat::Jsonl : EFormat::Text;
}

void AddAnalyzeOptions(CLI::App& analyze, TAnalyzeOptions& options) {
  analyze.add_option("INVENTORY", options.inventories, kInventoryHelp)->required();
  AddPluginOption(analyze, options.plan.plugin);
  options.plan.classes = {kDefaultClass};
  analyze
      .add_option("--class", options.plan.classes,
                  "A class for RunAnalysis's list; repeatable, kept in order\n"
                  "(default: " +
                      std::string(kDefaultClass) + ")")
      ->type_name("NAME")
      ->allow_extra_args(false);
  AddParsedOption(analyze, "--runs", options.plan.runs, ParseCount, CountOf("runs"),
                  "Call RunAnalysis N times in this process (default: 1)")
      ->type_name("N");
  AddParsedOption(analyze, "--format", options.format, ParseFormat, "",
                  "text (default), for people; jsonl, one JSON object a line")
      ->type_name("text|jsonl")
      ->check(CLI::IsMember({"text", "jsonl"}).description(""));
  AddParsedOption(analyze, "--levels", options.levels, ParseLevelList,
                  "a list of levels such as 100,101,0",
                  "Show only lines of these levels, e.g. 100,101")
      ->type_name("L,L...");
  analyze.add_flag("--trace", options.plan.trace,
                   "Show the host calls the plug-in makes, in order");
  AddParsedOption(analyze, "--known", options.known, AnyText, "",
                  "Show the findings and advice FILE acknowledges as known, and\n"
                  "leave them out of the exit status")
      ->type_name("FILE");
  AddRunOptions(analyze, options.jobs, options.partOfRun);
  analyze.footer(kAnalyzeFooter);
}

void AddCollectOptions(CLI::App& collect, TCollectOptions& options) {
  NZARNCOLLECT::TCollectSettings& machine = options.machine;
  AddParsedOption(collect, "--root", machine.root, AnyText, "",
                  "Collect the machine image under DIR instead (Linux only);\n"
                  "no path leads out of it")
      ->type_name("DIR");
  AddParsedOption(collect, "-o,--output", options.output, AnyText, "",
                  "Write to FILE, whole or not at all, instead of stdout")
      ->type_name("FILE")
      ->check(CLI::Validator(OutputPathProblem, ""));
  AddParsedOption(collect, "--max-events", machine.maxEvents, ParseCount, CountOf("records"),
                  "Read at most the N newest records of the System event log\n(default: " +
                      std::to_string(machine.maxEvents) + "; Windows only)")
      ->type_name("N");
  AddParsedOption(collect, "--max-event-age", machine.maxEventDays, ParseCount, CountOf("days"),
                  "Read System event log records of the last DAYS days only\n(default: " +
                      std::to_string(machine.maxEventDays) + "; Windows only)")
      ->type_name("DAYS");
  collect.footer(kCollectFooter);
}

std::optional<std::string> ParseDateText(const std::string& text) {
  if (!ParseDate(text)) return std::nullopt;
  return text;
}

std::optional<std::string> ParseReason(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

void AddKnownOptions(CLI::App& known, TKnownOptions& options) {
  known.add_option("JSONL", options.input,
                   "The output of zarn analyze --format jsonl, or - for standard\n"
                   "input (the default)");
  AddParsedOption(known, "--reason", options.reason, ParseReason, "a reason",
                  "Why the findings are known (default: left empty, for you to\n"
                  "fill in; the file is refused until you do)")
      ->type_name("TEXT");
  AddParsedOption(known, "--until", options.until, ParseDateText, "a date written YYYY-MM-DD",
                  "The last day they are known (default: YYYY-MM-DD, as --reason)")
      ->type_name("DATE");
  known.add_flag("--any-host", options.anyHost,
                 "Write entries for any host, not for the host each was found on");
  known.footer(kKnownFooter);
}

void AddReportOptions(CLI::App& report, TReportOptions& options) {
  report.add_option("INVENTORY", options.inventories, kInventoryHelp)->required();
  AddParsedOption(report, "-o,--output", options.output, AnyText, "",
                  "Write the page to FILE, whole or not at all, instead of stdout")
      ->type_name("FILE")
      ->check(CLI::Validator(OutputPathProblem, ""));
  AddPluginOption(report, options.plugin);
  AddRunOptions(report, options.jobs, options.partOfRun);
  report.footer(kReportFooter);
}

// The command the user gave, for the hint after a usage error.
std::string CommandName(const CLI::App& app) {
  const std::vector<CLI::App*> commands = app.get_subcommands();
  return commands.empty() ? "zarn" : "zarn " + commands.front()->get_name();
}

std::string UsageError(const CLI::App* app, const CLI::Error& error) {
  return "zarn: error: " + std::string(error.what()) + "\nRun '" + CommandName(*app) +
         " --help' for more information.\n";
}

// CLI11 alone would only say that a command is required.
void CheckCommandWord(const CLI::App& app, int argc, char** argv) {
  const std::string commands =
      "; the commands are analyze, report, validate, plugins, known, collect and check";
  if (argc < 2) throw CLI::ParseError("no command given" + commands, CLI::ExitCodes::RequiredError);
  const std::string word = argv[1];
  if (!word.empty() && word[0] == '-') return;
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->get_name() == word) return;
  }
  throw CLI::ParseError("unknown command '" + word + "'" + commands, CLI::ExitCodes::ExtrasError);
}

// CLI11 reports a missing INVENTORY before an argument it does not know, but
// the unknown one (zarn analyze -x) is the mistake the user made.
void Parse(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::RequiredError&) {
    for (const CLI::App* command : app.get_subcommands()) {
      if (!command->remaining().empty()) throw CLI::ExtrasError(command->remaining());
    }
    throw;
  }
  for (const CLI::App* command : app.get_subcommands()) RefuseRepeatedOptions(*command);
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  CLI::App app("Runs an analysis plug-in over a server's inventory.", "zarn");
  KeepConventions(app);
  app.set_version_flag("--version", "zarn " ZARN_VERSION);
  app.require_subcommand(1);
  app.failure_message(UsageError);
  app.footer("Run 'zarn COMMAND --help' for the options of a command.\n");

  CLI::App& analyze = *app.add_subcommand("analyze", "Analyse an inventory with the plug-in");
  TAnalyzeOptions analyzeOptions;
  AddAnalyzeOptions(analyze, analyzeOptions);

  CLI::App& report =
      *app.add_subcommand("report", "Write a page on inventories, for people to read (HTML)");
  TReportOptions reportOptions;
  AddReportOptions(report, reportOptions);

  CLI::App& validate = *app.add_subcommand("validate", "Check an inventory file and summarise it");
  std::string inventory;
  validate.add_option("INVENTORY", inventory, kInventoryOfValidateHelp)->required();

  CLI::App& plugins = *app.add_subcommand("plugins", "Load the plug-in and show its identity");
  std::string plugin;
  AddPluginOption(plugins, plugin);

  CLI::App& known =
      *app.add_subcommand("known", "Write acknowledgements for the findings analyze wrote");
  TKnownOptions knownOptions;
  AddKnownOptions(known, knownOptions);

  CLI::App& collect = *app.add_subcommand("collect", "Write an inventory of this machine");
  TCollectOptions collectOptions;
  AddCollectOptions(collect, collectOptions);

  // Listed here; its command line follows the monitoring plug-ins'
  // conventions, so it has a parser of its own.
  app.add_subcommand("check", "Collect this machine and analyse it, as a monitoring plug-in");
  if (argc >= 2 && std::string(argv[1]) == "check")
    return RunMonitoringCommandLine(argc - 1, argv + 1);

  try {
    CheckCommandWord(app, argc, argv);
    Parse(app, argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version are answered here, on stdout.
    if (app.exit(error) != 0) return eExitUsage;
    return FinishOutput() ? eExitClean : eExitOutputFailed;
  }
  if (analyze.parsed()) return RunAnalyze(analyzeOptions);
  if (report.parsed()) return RunReport(reportOptions);
  if (validate.parsed()) return RunValidate(inventory);
  if (collect.parsed()) return RunCollect(collectOptions);
  if (known.parsed()) return RunKnown(knownOptions);
  return RunPlugins(plugin);
}

}  // namespace NZARN
