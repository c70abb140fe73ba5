// The console examples of docs/command-line.md, run as written: each block's
// "$ " lines form one shell script run from the source root with zarn on
// PATH, and the other lines are what the terminal shows.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ZarnRun.h"

namespace NZARNTEST {
namespace {

struct TConsoleBlock {
  int line = 0;  // of the opening fence, for failure messages
  std::string script;
  std::string expected;
};

std::vector<TConsoleBlock> ConsoleBlocks(const std::string& markdown) {
  std::vector<TConsoleBlock> blocks;
  std::istringstream lines(markdown);
  std::string line;
  bool inside = false;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!inside && line == "```console") {
      blocks.emplace_back();
      blocks.back().line = number;
      inside = true;
    } else if (inside && line == "```") {
      inside = false;
    } else if (inside && line.rfind("$ ", 0) == 0) {
      blocks.back().script += line.substr(2) + "\n";
    } else if (inside) {
      blocks.back().expected += line + "\n";
    }
  }
  return blocks;
}

TEST(CommandLineDoc, ConsoleExamplesShowWhatZarnPrints) {
  const std::vector<TConsoleBlock> blocks = ConsoleBlocks(ReadFile("docs/command-line.md"));
  ASSERT_GE(blocks.size(), 10u) << "the examples were not found";
  for (const TConsoleBlock& block : blocks) {
    SCOPED_TRACE("docs/command-line.md:" + std::to_string(block.line));
    EXPECT_EQ(RunShell(block.script).out, block.expected);
  }
}

}  // namespace
}  // namespace NZARNTEST
