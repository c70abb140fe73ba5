// Programs run under a time limit: what a collector gets back, and that
// nothing a program started outlives its limit.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "collectors/SourceError.h"
#include "collectors/TimedProgram.h"
#include "zarn/ZarnRun.h"

namespace NZARNTEST {
namespace {

using NZARNCOLLECT::RunProgram;
using NTESTS::operator<<;
using namespace std::chrono_literals;

struct TProgramCase {
  std::string name;
  std::string program;
  std::vector<std::string> args;
  std::string result;  // the output, or the error's words
  std::chrono::milliseconds limit = 300ms;
};

class Program : public testing::TestWithParam<TProgramCase> {};

TEST_P(Program, GivesItsOutputOrSaysWhyNot) {
  std::string result;
  try {
    result = RunProgram(GetParam().program, GetParam().args, GetParam().limit);
  } catch (const NZARNCOLLECT::TSourceError& error) {
    result = error.what();
  }
  EXPECT_EQ(result, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    TimedProgram, Program,
    testing::Values(
        TProgramCase{"Output", "sh", {"-c", "echo \"$LC_ALL\"; echo noise >&2"}, "C\n"},
        TProgramCase{"Missing",
                     "zarn-no-such-program",
                     {},
                     "program missing: zarn-no-such-program is not on PATH"},
        TProgramCase{"StatusWithTheErrorLine",
                     "sh",
                     {"-c", "echo 'warning: w' >&2; echo 'error: e' >&2; echo after >&2; exit 3"},
                     "sh ended with status 3: error: e"},
        TProgramCase{"StatusWithTheLastLine",
                     "sh",
                     {"-c", "echo first >&2; echo last >&2; echo >&2; exit 3"},
                     "sh ended with status 3: last"},
        TProgramCase{
            "TimedOut", "sh", {"-c", "sleep 30"}, "timed out: sh did not finish within 300 ms"},
        TProgramCase{
            "Flood", "sh", {"-c", "head -c 67108865 /dev/zero"}, "sh wrote more than 64 MiB", 30s}),
    TCaseName());

bool Running(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string field, state;
  stat >> field >> field >> state;
  return state == "R" || state == "S" || state == "D";
}

TEST(TimedProgram, StopsWhatTheProgramStarted) {
  const std::string pidFile = testing::TempDir() + "zarn-timed-program.pid";
  EXPECT_THROW(RunProgram("sh", {"-c", "sleep 30 & echo $! > " + pidFile + "; wait"}, 300ms),
               NZARNCOLLECT::TSourceError);
  std::string pid;
  std::ifstream(pidFile) >> pid;
  ASSERT_FALSE(pid.empty());
  for (int wait = 0; wait < 100 && Running(pid); ++wait) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(Running(pid));
  std::remove(pidFile.c_str());
}

}  // namespace
}  // namespace NZARNTEST
