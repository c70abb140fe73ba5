// The tables of cases of the checks and of the dispatch: each JSON file
// under checks/ and plugin/ lists cases, each an inventory (the quiet server
// with a patch), optionally the class list, and every line one analysis run
// writes over it.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <boost/json.hpp>

#include "support/AnalysisHarness.h"
#include "support/CaseName.h"

namespace {

using namespace NTESTS;
// Found by argument lookup, which a using-directive does not reach: case
// names, not bytes, in ctest's list.
using NTESTS::operator<<;

struct TCheckCase {
  std::string name;
  std::string proves;
  std::string patch;
  std::vector<std::string> classes;
  std::vector<TLine> lines;
  std::string exception;  // as TRunResult gives it
};

// "bad-stripes" and "Twelve" give "BadStripes_Twelve".
std::string TestName(const std::filesystem::path& file, const std::string& name) {
  std::string test;
  bool upper = true;
  for (const char c : file.stem().string()) {
    if (c == '-') {
      upper = true;
    } else {
      test += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
      upper = false;
    }
  }
  return test + "_" + name;
}

// The file's base patch with the case's members put in.
std::string Patch(const boost::json::object& file, const boost::json::object& testCase) {
  boost::json::object patch;
  if (const boost::json::value* base = file.if_contains("base")) patch = base->as_object();
  for (const auto& member : testCase.at("patch").as_object()) patch[member.key()] = member.value();
  return boost::json::serialize(patch);
}

TCheckCase CaseOf(const std::filesystem::path& path, const boost::json::object& file,
                  const boost::json::object& testCase) {
  TCheckCase parsed{TestName(path, testCase.at("name").as_string().c_str()),
                    testCase.at("proves").as_string().c_str(),
                    Patch(file, testCase),
                    {kAnalysisClass},
                    {},
                    {}};
  if (const boost::json::value* classes = testCase.if_contains("classes")) {
    parsed.classes.clear();
    for (const boost::json::value& name : classes->as_array())
      parsed.classes.emplace_back(name.as_string());
  }
  for (const boost::json::value& line : testCase.at("lines").as_array()) {
    const boost::json::array& pair = line.as_array();
    parsed.lines.push_back(
        {static_cast<std::int32_t>(pair.at(0).as_int64()), std::string(pair.at(1).as_string())});
  }
  if (const boost::json::value* status = testCase.if_contains("throws"))
    parsed.exception = "TZARNException " + std::to_string(status->as_int64());
  return parsed;
}

std::vector<TCheckCase> AllCases() {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"checks", "plugin"}) {
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(std::filesystem::path(TESTS_DIR) / folder))
      if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<TCheckCase> cases;
  for (const std::filesystem::path& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const boost::json::value file = boost::json::parse(text.str());
    for (const boost::json::value& testCase : file.at("cases").as_array())
      cases.push_back(CaseOf(path, file.as_object(), testCase.as_object()));
  }
  return cases;
}

class CheckCases : public testing::TestWithParam<TCheckCase> {};

TEST_P(CheckCases, WriteExactlyTheirLines) {
  const TRunResult result = Analyze(GetParam().patch, GetParam().classes);
  EXPECT_EQ(result.lines, GetParam().lines) << GetParam().proves;
  EXPECT_EQ(result.exception, GetParam().exception) << GetParam().proves;
}

INSTANTIATE_TEST_SUITE_P(Checks, CheckCases, testing::ValuesIn(AllCases()), TCaseName());

}  // namespace
