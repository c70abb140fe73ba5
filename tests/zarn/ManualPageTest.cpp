// zarn(1) held against the program: the synopsis of each command lists
// exactly the options its --help lists, in every form (-j and --jobs).
// Help and version, which every command takes, are left out of both.
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ZarnRun.h"

namespace NZARNTEST {
namespace {

using NTESTS::operator<<;

using TOptions = std::set<std::string>;

const TOptions kEveryCommandTakes = {"-h", "--help", "-V", "--version"};

// The option names that start a line of the help: "  -j,--jobs N" (CLI11)
// or " -w, --warning=RANGE" (zarn check's own).
TOptions HelpOptions(const std::string& help) {
  TOptions options;
  const std::regex listed(R"(^\s+(-[-\w]+(?:,\s*-[-\w]+)*))");
  const std::regex name(R"(-[-\w]+)");
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    std::smatch found;
    if (!std::regex_search(line, found, listed)) continue;
    const std::string names = found[1];
    for (std::sregex_iterator at(names.begin(), names.end(), name), end; at != end; ++at)
      options.insert(at->str());
  }
  for (const std::string& universal : kEveryCommandTakes) options.erase(universal);
  return options;
}

// The options of the manual page's synopsis of the command: from ".B zarn
// COMMAND" to the next line break, with roff's "\-" read as "-".
TOptions SynopsisOptions(const std::string& page, const std::string& command) {
  const std::string start = ".B zarn " + command + "\n";
  const std::size_t begin = page.find(start);
  if (begin == std::string::npos) return {"(no synopsis)"};
  std::string synopsis = page.substr(begin, page.find(".br", begin) - begin);
  for (std::size_t at; (at = synopsis.find("\\-")) != std::string::npos;) synopsis.erase(at, 1);
  TOptions options;
  const std::regex name(R"((?:^|[^-\w])(-[-\w]+))");
  for (std::sregex_iterator at(synopsis.begin(), synopsis.end(), name), end; at != end; ++at)
    options.insert((*at)[1].str());
  return options;
}

struct TCommand {
  std::string name;
};

class ManualPage : public testing::TestWithParam<TCommand> {};

TEST_P(ManualPage, ListsEveryOptionOfTheCommandsHelp) {
  const TRunResult help = RunZarn({GetParam().name, "--help"});
  const TOptions helpOptions = HelpOptions(help.out);
  ASSERT_FALSE(helpOptions.empty() && GetParam().name != "validate") << help.out;
  EXPECT_EQ(SynopsisOptions(ReadFile("docs/zarn.1"), GetParam().name), helpOptions) << help.out;
}

INSTANTIATE_TEST_SUITE_P(Zarn, ManualPage,
                         testing::Values(TCommand{"analyze"}, TCommand{"report"},
                                         TCommand{"validate"}, TCommand{"plugins"},
                                         TCommand{"known"}, TCommand{"collect"}, TCommand{"check"}),
                         NTESTS::TCaseName());

}  // namespace
}  // namespace NZARNTEST
