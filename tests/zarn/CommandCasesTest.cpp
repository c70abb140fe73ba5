// zarn's command line, output and exit statuses, case by case: each JSON
// file under cases/ lists commands and exactly what each prints and ends
// with. "{plugins}/" stands for the folder of the test plug-ins.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <boost/json.hpp>
#include <optional>

#include "ZarnRun.h"

namespace NZARNTEST {
namespace {

namespace fs = std::filesystem;

using NTESTS::operator<<;

struct TCommandCase {
  std::string name;
  std::string proves;
  std::vector<std::string> args;  // or, on POSIX systems only, a shell script
  std::string shell;
  std::string input;
  int status;
  std::optional<std::string> out;
  std::optional<std::string> err;
  std::string errHas;
  // The sanitizers cannot work under ulimit: their shadow memory needs more
  // than -v allows, their checks pipes that -n leaves no room for.
  bool limitsResources = false;
};

const fs::path kCasesDir = fs::path(SOURCE_DIR) / "tests" / "zarn";

std::string WithPlugins(std::string text) {
  const std::string folder = (fs::path(TEST_PLUGIN_DIR) / "").string();
  for (std::string::size_type at; (at = text.find("{plugins}/")) != std::string::npos;)
    text.replace(at, 10, folder);
  return text;
}

std::string Text(const boost::json::value& value) {
  return WithPlugins(std::string(value.as_string()));
}

// Lines, each ended with a line feed, or the file named by "fileKey".
std::optional<std::string> Expected(const boost::json::object& testCase, const char* linesKey,
                                    const char* fileKey) {
  if (const boost::json::value* file = testCase.if_contains(fileKey))
    return ReadFile((kCasesDir / Text(*file)).string());
  const boost::json::value* lines = testCase.if_contains(linesKey);
  if (!lines) return std::nullopt;
  std::string text;
  for (const boost::json::value& line : lines->as_array()) text += Text(line) + "\n";
  return text;
}

TCommandCase CaseOf(const boost::json::object& c) {
  TCommandCase parsed{std::string(c.at("name").as_string()),
                      std::string(c.at("proves").as_string()),
                      {},
                      {},
                      {},
                      static_cast<int>(c.at("status").as_int64()),
                      Expected(c, "out", "outFile"),
                      Expected(c, "err", "errFile"),
                      {}};
  if (const boost::json::value* args = c.if_contains("args"))
    for (const boost::json::value& arg : args->as_array()) parsed.args.push_back(Text(arg));
  if (const boost::json::value* shell = c.if_contains("shell")) parsed.shell = Text(*shell);
  if (const boost::json::value* input = c.if_contains("input")) parsed.input = Text(*input);
  if (const boost::json::value* part = c.if_contains("errHas")) parsed.errHas = Text(*part);
  parsed.limitsResources = c.if_contains("limitsResources") != nullptr;
  return parsed;
}

std::vector<TCommandCase> AllCases() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kCasesDir / "cases"))
    files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<TCommandCase> cases;
  for (const fs::path& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const boost::json::value file = boost::json::parse(text.str());
    for (const boost::json::value& c : file.at("cases").as_array())
      cases.push_back(CaseOf(c.as_object()));
  }
  return cases;
}

TRunResult RunCase(const TCommandCase& c) {
#if !defined(_WIN32)
  if (!c.shell.empty()) return RunShell(c.shell);
#endif
  return RunZarn(c.args, c.input);
}

class CommandCases : public testing::TestWithParam<TCommandCase> {};

TEST_P(CommandCases, PrintAndEndAsExpected) {
  const TCommandCase& c = GetParam();
#if defined(_WIN32)
  if (!c.shell.empty()) GTEST_SKIP() << "a POSIX shell session";
#endif
#if defined(__SANITIZE_ADDRESS__)
  if (c.limitsResources) GTEST_SKIP() << "limits what the sanitizers need";
#endif
  const TRunResult result = RunCase(c);
  EXPECT_EQ(result.status, c.status) << c.proves << "\n" << result.err;
  if (c.out) {
    EXPECT_EQ(result.out, *c.out) << c.proves;
  }
  if (c.err) {
    EXPECT_EQ(result.err, *c.err) << c.proves;
  }
  EXPECT_NE(result.err.find(c.errHas), std::string::npos) << c.proves << "\n" << result.err;
}

INSTANTIATE_TEST_SUITE_P(Zarn, CommandCases, testing::ValuesIn(AllCases()), TCaseName());

}  // namespace
}  // namespace NZARNTEST
