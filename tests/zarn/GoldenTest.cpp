#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ZarnRun.h"

namespace NZARNTEST {
namespace {

namespace fs = std::filesystem;

// A golden case is an inventory NAME.json in tests/zarn/golden with the
// exact JSONL output NAME.jsonl and exit status NAME.exit of
// `zarn analyze NAME.json --format jsonl`; NAME.args, when present, holds
// further arguments, one a line.
struct TGoldenCase {
  std::string name;
  friend std::ostream& operator<<(std::ostream& out, const TGoldenCase& c) { return out << c.name; }
};

const fs::path kGoldenDir = fs::path(SOURCE_DIR) / "tests" / "zarn" / "golden";

std::vector<TGoldenCase> GoldenCases() {
  std::vector<TGoldenCase> cases;
  for (const fs::directory_entry& entry : fs::directory_iterator(kGoldenDir))
    if (entry.path().extension() == ".json") cases.push_back({entry.path().stem().string()});
  std::sort(cases.begin(), cases.end(),
            [](const TGoldenCase& a, const TGoldenCase& b) { return a.name < b.name; });
  return cases;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const std::string::size_type end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string GoldenFile(const std::string& name, const std::string& extension) {
  return (kGoldenDir / (name + extension)).string();
}

class Golden : public testing::TestWithParam<TGoldenCase> {};

TEST_P(Golden, AnalysisWritesExactlyTheExpectedLines) {
  const std::string& name = GetParam().name;
  std::vector<std::string> args = {"analyze", GoldenFile(name, ".json"), "--format", "jsonl"};
  if (fs::exists(GoldenFile(name, ".args"))) {
    for (const std::string& arg : Lines(ReadFile(GoldenFile(name, ".args"))))
      if (!arg.empty()) args.push_back(arg);
  }
  const TRunResult result = RunZarn(args);
  EXPECT_EQ(Lines(result.out), Lines(ReadFile(GoldenFile(name, ".jsonl")))) << result.err;
  EXPECT_EQ(std::to_string(result.status) + "\n", ReadFile(GoldenFile(name, ".exit")))
      << result.err;
}

// Test names allow letters, digits and underscores only.
std::string TestName(const testing::TestParamInfo<TGoldenCase>& tested) {
  std::string name = tested.param.name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(GoldenCases()), TestName);

}  // namespace
}  // namespace NZARNTEST
