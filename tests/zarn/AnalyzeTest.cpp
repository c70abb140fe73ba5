// zarn analyze with the scripted test plug-in: every --class is one step the
// plug-in takes (see plugins/ScriptedPlugin.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZarnRun.h"

namespace NZARNTEST {
namespace {

using NZARNTEST::operator<<;

typedef std::vector<std::string> TArgs;

TRunResult Scripted(const TArgs& steps, const TArgs& options = {"--format", "jsonl"},
                    const std::string& inventory = "server.json") {
  TArgs args{"analyze", DataFile(inventory), "--plugin", TestPlugin("Scripted")};
  for (const std::string& step : steps) args.insert(args.end(), {"--class", step});
  args.insert(args.end(), options.begin(), options.end());
  return RunZarn(args);
}

std::string Lines(const TArgs& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

struct TStatusCase {
  const char* name;
  TArgs steps;
  int status;
};

class ExitStatusTest : public testing::TestWithParam<TStatusCase> {};

TEST_P(ExitStatusTest, FirstApplyingStatusWins) {
  EXPECT_EQ(Scripted(GetParam().steps).status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Analyze, ExitStatusTest,
    testing::Values(TStatusCase{"NothingWritten", {"query:QELSG_Empty"}, 0},
                    TStatusCase{"DiagnosticsOnly", {"log:3:looked"}, 0},
                    TStatusCase{"OtherLevelsDoNotCount", {"log:7:x", "log:-1:y"}, 0},
                    TStatusCase{"ErrorsOnly", {"log:0:missed", "log:3:x"}, 6},
                    TStatusCase{"Finding", {"log:100:found"}, 1},
                    TStatusCase{"AdviceAlone", {"log:101:advice"}, 1},
                    TStatusCase{"FindingBeatsError", {"log:0:missed", "log:100:found"}, 1},
                    TStatusCase{"HeldReferencesBeatFinding", {"log:100:found", "leak"}, 5},
                    TStatusCase{"HeldReferencesBeatError", {"log:0:missed", "leak"}, 5},
                    TStatusCase{"ExceptionBeatsHeldReferences", {"leak", "throw:22"}, 3},
                    TStatusCase{"HostExceptionUncaught", {"query:QELSG_Gone"}, 3},
                    TStatusCase{"ForeignException", {"throw-runtime:boom"}, 3},
                    TStatusCase{"NullHostReference", {"null"}, 3}),
    CaseName());

struct TExceptionCase {
  const char* name;
  std::string step;
  std::string message;
};

class ExceptionMessageTest : public testing::TestWithParam<TExceptionCase> {};

TEST_P(ExceptionMessageTest, NamesTheExceptionAndKeepsEarlierLines) {
  const TRunResult result = Scripted({"log:100:before", GetParam().step, "log:100:after"});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.out, Lines({R"({"level": 100, "text": "before"})"}));
  EXPECT_EQ(result.err,
            "zarn: error: run 1: exception left RunAnalysis: " + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Analyze, ExceptionMessageTest,
    testing::Values(TExceptionCase{"StatusWithText", "query:QELSG_Gone",
                                   "status 15: class or property not available"},
                    TExceptionCase{"StatusWithoutText", "throw:22", "status 22: status 22"},
                    TExceptionCase{"Foreign", "throw-runtime:controller on fire",
                                   "controller on fire"}),
    CaseName());

TEST(Analyze, HeldReferencesAreCountedAfterTheRun) {
  const TRunResult result = Scripted({"log:100:found", "leak"});
  EXPECT_EQ(result.status, 5);
  EXPECT_EQ(result.out, Lines({R"({"level": 100, "text": "found"})"}));
  EXPECT_EQ(result.err,
            "zarn: error: run 1: the plug-in still holds 3 host references after RunAnalysis\n");
}

TEST(Analyze, JsonlEscapesTextsAndRepairsBadUtf8) {
  const TRunResult result =
      Scripted({"log:100:say \"hi\" \\ C:\\tmp", "log:101:two\nlines\tand\r\x01\x1f\x7f",
                "log:3:caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x92\xbe",
                "log:0:bad \xff|\xe2\x82|\xc0\xaf|\xed\xa0\x80|\xf4\x90\x80\x80"});
  EXPECT_EQ(result.out,
            Lines({R"({"level": 100, "text": "say \"hi\" \\ C:\\tmp"})",
                   R"({"level": 101, "text": "two\nlines\tand\r\u0001\u001f)"
                   "\x7f\"}",
                   "{\"level\": 3, \"text\": \"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x92\xbe\"}",
                   R"({"level": 0, "text": "bad \ufffd|\ufffd\ufffd|\ufffd\ufffd|)"
                   R"(\ufffd\ufffd\ufffd|\ufffd\ufffd\ufffd\ufffd"})"}));
  EXPECT_EQ(result.err, "") << "jsonl keeps stderr for errors only";
}

TEST(Analyze, TextKeepsMultiLineTextsReadableAndSummarisesOnStderr) {
  const TRunResult result = Scripted({"log:100:Tarvex: one", "log:0:first\nsecond\n\nfourth",
                                      "log:3:bad \xff", "log:101:x", "log:12:other"},
                                     {});
  EXPECT_EQ(result.out,
            Lines({"[100] Tarvex: one", "[  0] first", "      second", "", "      fourth",
                   "[  3] bad \xef\xbf\xbd", "[101] x", "[ 12] other"}));
  EXPECT_EQ(result.err, "Summary: findings 1, advice 1, errors 1, diagnostics 1, other levels 1\n");
}

TEST(Analyze, LevelsHideLinesButNotCallsOrTheirWeight) {
  const TRunResult result =
      Scripted({"log:100:found", "log:0:missed", "os"}, {"--levels", "0,3", "--trace"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            Lines({"  -> GetName log:100:found", "  -> GetName log:0:missed", "[  0] missed",
                   "  -> GetName os", "  -> GetOperatingSystemType: 18"}));
  EXPECT_EQ(result.err,
            "Summary: findings 1, advice 0, errors 1, diagnostics 0; 1 not shown (--levels)\n");
}

TEST(Analyze, JsonlTraceShowsEveryCallInOrder) {
  const TRunResult result = Scripted({"property:QELSG_txDiskDrive:DeviceCode",
                                      "assoc:QELSG_txDiskDrive:QELSG_txDiskDriveVersion", "os"},
                                     {"--format", "jsonl", "--trace"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(
      result.out,
      Lines(
          {R"({"call": "GetName", "class": "property:QELSG_txDiskDrive:DeviceCode"})",
           R"({"call": "GetClass", "class": "QELSG_txDiskDrive"})",
           R"({"call": "EnumerateInstances", "class": "QELSG_txDiskDrive", "count": 3})",
           R"({"call": "GetProperty", "instance": "disk0", "property": "DeviceCode"})",
           R"({"call": "GetProperty", "instance": "QELSG_txDiskDrive[1]", "property": "DeviceCode"})",
           R"({"call": "GetProperty", "instance": "cd0", "property": "DeviceCode"})",
           R"({"call": "GetName", "class": "assoc:QELSG_txDiskDrive:QELSG_txDiskDriveVersion"})",
           R"({"call": "GetClass", "class": "QELSG_txDiskDrive"})",
           R"({"call": "EnumerateInstances", "class": "QELSG_txDiskDrive", "count": 3})",
           R"({"call": "EnumerateAssociatedInstances", "instance": "disk0", )"
           R"("resultClass": "QELSG_txDiskDriveVersion", "count": 1})",
           R"({"call": "EnumerateAssociatedInstances", "instance": "QELSG_txDiskDrive[1]", )"
           R"("resultClass": "QELSG_txDiskDriveVersion", "count": 0})",
           R"({"call": "EnumerateAssociatedInstances", "instance": "cd0", )"
           R"("resultClass": "QELSG_txDiskDriveVersion", "count": 0})",
           R"({"call": "GetName", "class": "os"})",
           R"({"call": "GetOperatingSystemType", "result": 18})"}));
}

struct TFailedCallCase {
  const char* name;
  std::string step;
  std::string inventory;
  std::string jsonl;
  std::string text;
};

class FailedCallTest : public testing::TestWithParam<TFailedCallCase> {};

TEST_P(FailedCallTest, CarriesTheStatusInsteadOfAResult) {
  const TFailedCallCase& c = GetParam();
  EXPECT_EQ(Scripted({c.step}, {"--format", "jsonl", "--trace"}, c.inventory).out,
            Lines({R"({"call": "GetName", "class": ")" + c.step + "\"}", c.jsonl}));
  EXPECT_EQ(Scripted({c.step}, {"--trace"}, c.inventory).out,
            Lines({"  -> GetName " + c.step, c.text}));
}

INSTANTIATE_TEST_SUITE_P(
    Analyze, FailedCallTest,
    testing::Values(
        TFailedCallCase{"GetClass", "query:QELSG_Gone", "server.json",
                        R"({"call": "GetClass", "class": "QELSG_Gone", "status": 15})",
                        "  -> GetClass QELSG_Gone: status 15 (class or property not available)"},
        TFailedCallCase{
            "OperatingSystemType", "os", "empty.json",
            R"({"call": "GetOperatingSystemType", "status": 15})",
            "  -> GetOperatingSystemType: status 15 (class or property not available)"}),
    CaseName());

TEST(Analyze, FailedEnumerationFollowsItsSuccessfulLookup) {
  EXPECT_EQ(Scripted({"query:QELSG_Stuck"}, {"--trace"}).out,
            Lines({"  -> GetName query:QELSG_Stuck", "  -> GetClass QELSG_Stuck",
                   "  -> EnumerateInstances QELSG_Stuck: status 22"}));
}

TEST(Analyze, RunsStopAtTheFirstRunThatThrows) {
  const TRunResult result =
      Scripted({"log:3:start", "run2:throw:22", "log:3:end"}, {"--runs", "3", "--format", "jsonl"});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.out, Lines({R"({"level": 3, "text": "start"})", R"({"level": 3, "text": "end"})",
                               R"({"level": 3, "text": "start"})"}));
  EXPECT_EQ(result.err, "zarn: error: run 2: exception left RunAnalysis: status 22: status 22\n");
}

TEST(Analyze, RunsStopAtTheFirstRunThatHoldsReferences) {
  const TRunResult result =
      Scripted({"run1:leak", "log:3:ran"}, {"--runs", "3", "--format", "jsonl"});
  EXPECT_EQ(result.status, 5);
  EXPECT_EQ(result.out, Lines({R"({"level": 3, "text": "ran"})"}));
  EXPECT_NE(result.err.find("run 1: the plug-in still holds"), std::string::npos) << result.err;
}

// Needs a POSIX shell and its full device.
#if !defined(_WIN32)
TEST(Analyze, OutputThatCannotBeWrittenIsNotSuccess) {
  const TRunResult result = RunShell("zarn analyze " + DataFile("empty.json") + " --plugin " +
                                     TestPlugin("Scripted") + " --class log:3:x >/dev/full");
  EXPECT_EQ(result.status, 7);
  EXPECT_NE(result.out.find("writing the output failed"), std::string::npos) << result.out;
}
#endif

}  // namespace
}  // namespace NZARNTEST
