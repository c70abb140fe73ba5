// The console examples of the documents, run as written: each block's
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

struct TDocument {
  const char* name;
  const char* path;
  std::size_t examples;  // at least
  friend std::ostream& operator<<(std::ostream& out, const TDocument& d) { return out << d.name; }
};

class DocExamples : public testing::TestWithParam<TDocument> {};

TEST_P(DocExamples, ShowWhatZarnPrints) {
  const std::vector<TConsoleBlock> blocks = ConsoleBlocks(ReadFile(GetParam().path));
  ASSERT_GE(blocks.size(), GetParam().examples) << "the examples were not found";
  for (const TConsoleBlock& block : blocks) {
    SCOPED_TRACE(std::string(GetParam().path) + ":" + std::to_string(block.line));
    EXPECT_EQ(RunShell(block.script).out, block.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Documents, DocExamples,
                         testing::Values(TDocument{"CommandLine", "docs/command-line.md", 10},
                                         TDocument{"Readme", "README.md", 2},
                                         TDocument{"Fleet", "docs/fleet.md", 1}),
                         TCaseName());

}  // namespace
}  // namespace NZARNTEST
