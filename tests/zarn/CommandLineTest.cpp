// The command line itself: usage errors, help, loading failures, validate
// and plugins.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZarnRun.h"

namespace NZARNTEST {
namespace {

using NZARNTEST::operator<<;

typedef std::vector<std::string> TArgs;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct TUsageCase {
  const char* name;
  TArgs args;
  std::string reason;
  std::string hint;
};

class UsageErrorTest : public testing::TestWithParam<TUsageCase> {};

TEST_P(UsageErrorTest, ExitsTwoWithAReasonAndAHint) {
  const TRunResult result = RunZarn(GetParam().args);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(Contains(result.err, "zarn: error: ")) << result.err;
  EXPECT_TRUE(Contains(result.err, GetParam().reason)) << result.err;
  EXPECT_TRUE(Contains(result.err, "Run '" + GetParam().hint + " --help'")) << result.err;
}

const std::string kServer = "tests/zarn/data/server.json";

INSTANTIATE_TEST_SUITE_P(
    CommandLine, UsageErrorTest,
    testing::Values(
        TUsageCase{"NoCommand", {}, "no command given", "zarn"},
        TUsageCase{"UnknownCommand", {"analyse", kServer}, "unknown command 'analyse'", "zarn"},
        TUsageCase{
            "OptionBeforeCommand", {"--trace", "analyze", kServer}, "--trace", "zarn analyze"},
        TUsageCase{"NoInventory", {"analyze"}, "INVENTORY is required", "zarn analyze"},
        TUsageCase{"ExtraArgument", {"analyze", kServer, "more"}, "more", "zarn analyze"},
        TUsageCase{"UnknownOption", {"analyze", kServer, "--fast"}, "--fast", "zarn analyze"},
        TUsageCase{"ZeroRuns",
                   {"analyze", kServer, "--runs", "0"},
                   "'0' is not a number of runs",
                   "zarn analyze"},
        TUsageCase{"WordRuns", {"analyze", kServer, "--runs", "two"}, "'two'", "zarn analyze"},
        TUsageCase{"UnknownFormat", {"analyze", kServer, "--format", "xml"}, "xml", "zarn analyze"},
        TUsageCase{"WordLevel",
                   {"analyze", kServer, "--levels", "100,high"},
                   "'100,high' is not a list of levels",
                   "zarn analyze"},
        TUsageCase{"EmptyLevels", {"analyze", kServer, "--levels", ""}, "--levels", "zarn analyze"},
        TUsageCase{
            "TrailingComma", {"analyze", kServer, "--levels", "100,"}, "'100,'", "zarn analyze"},
        TUsageCase{"LevelTooLarge",
                   {"analyze", kServer, "--levels", "4294967296"},
                   "'4294967296'",
                   "zarn analyze"},
        TUsageCase{"ClassWithoutName", {"analyze", kServer, "--class"}, "--class", "zarn analyze"},
        TUsageCase{"PluginsExtra", {"plugins", "x.pi"}, "x.pi", "zarn plugins"}),
    CaseName());

struct THelpCase {
  const char* name;
  TArgs args;
  TArgs mentions;
};

class HelpTest : public testing::TestWithParam<THelpCase> {};

TEST_P(HelpTest, DescribesTheCommandOnStdout) {
  const TRunResult result = RunZarn(GetParam().args);
  EXPECT_EQ(result.status, 0);
  for (const std::string& word : GetParam().mentions) {
    EXPECT_TRUE(Contains(result.out, word)) << word << " missing from\n" << result.out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, HelpTest,
    testing::Values(
        THelpCase{"Program", {"--help"}, {"Usage: zarn", "analyze", "validate", "plugins"}},
        THelpCase{"Analyze",
                  {"analyze", "--help"},
                  {"Usage: zarn analyze", "INVENTORY", "--plugin", "--class", "--runs", "--format",
                   "--levels", "--trace", "Exit status"}},
        THelpCase{"Plugins", {"plugins", "--help"}, {"Usage: zarn plugins", "--plugin"}}),
    CaseName());

struct TBadInventoryCase {
  const char* name;
  std::string file;
  std::string where;
};

class BadInventoryTest : public testing::TestWithParam<TBadInventoryCase> {};

TEST_P(BadInventoryTest, StopsBeforeAnyAnalysisWithTheLocatedError) {
  const std::string path = DataFile(GetParam().file);
  for (const TArgs& args :
       {TArgs{"analyze", path, "--plugin", "no-such.pi"}, TArgs{"validate", path}}) {
    const TRunResult result = RunZarn(args);
    EXPECT_EQ(result.status, 2) << args[0];
    EXPECT_EQ(result.out, "") << args[0];
    EXPECT_TRUE(Contains(result.err, "zarn: error: " + path)) << result.err;
    EXPECT_TRUE(Contains(result.err, GetParam().where)) << result.err;
    EXPECT_FALSE(Contains(result.err, "--help")) << "not a usage error: " << result.err;
  }
}

INSTANTIATE_TEST_SUITE_P(CommandLine, BadInventoryTest,
                         testing::Values(TBadInventoryCase{"Missing", "no-such-server.json", ""},
                                         TBadInventoryCase{"Syntax", "bad-syntax.json",
                                                           "bad-syntax.json:3:"},
                                         TBadInventoryCase{"Value", "bad-value.json",
                                                           "classes.QELSG_PCIDevice[0].VendorID"}),
                         CaseName());

struct TBadPluginCase {
  const char* name;
  std::string path;
  std::string reason;  // names the path as the user gave it
};

class BadPluginTest : public testing::TestWithParam<TBadPluginCase> {};

TEST_P(BadPluginTest, ExitsFourNamingThePath) {
  for (const TArgs& args : {TArgs{"analyze", kServer, "--plugin", GetParam().path},
                            TArgs{"plugins", "--plugin", GetParam().path}}) {
    const TRunResult result = RunZarn(args);
    EXPECT_EQ(result.status, 4) << args[0];
    EXPECT_EQ(result.out, "") << args[0];
    EXPECT_TRUE(Contains(result.err, "zarn: error: ")) << result.err;
    EXPECT_TRUE(Contains(result.err, GetParam().reason)) << result.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, BadPluginTest,
    testing::Values(
        TBadPluginCase{"Missing", "no-such-plugin.pi", "no-such-plugin.pi: cannot open"},
        TBadPluginCase{"NotALibrary", DataFile("not-a-library.pi"), DataFile("not-a-library.pi")},
        TBadPluginCase{"RegistersNothing", TestPlugin("Silent"),
                       TestPlugin("Silent") + " registered nothing"},
        TBadPluginCase{"NoAnalysisEntry", TestPlugin("IdentityOnly"),
                       TestPlugin("IdentityOnly") + " has no analysis entry"}),
    CaseName());

TEST(CommandLine, ValidateSummarisesClassesAndFaults) {
  const TRunResult result = RunZarn({"validate", kServer});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, kServer +
                            ": valid inventory\n"
                            "operating-system type: 18\n"
                            "6 classes, 5 instances, 1 association\n"
                            "  QELSG_txDiskDrive         3 instances, 2 property faults\n"
                            "  QELSG_txDiskDriveVersion  1 instance\n"
                            "  QELSG_PCIDevice           1 instance\n"
                            "  QELSG_Gone                0 instances, GetClass throws status 15\n"
                            "  QELSG_Stuck               0 instances, EnumerateInstances throws "
                            "status 22\n"
                            "  QELSG_Empty               0 instances\n");
}

TEST(CommandLine, PluginsShowsTheIdentity) {
  const std::string path = TestPlugin("Scripted");
  const TRunResult result = RunZarn({"plugins", "--plugin", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "path:              " + path +
                            "\n"
                            "name:              Scripted test plug-in\n"
                            "plug-in version:   0.3\n"
                            "interface version: 1.0\n"
                            "type:              7\n");
}

// Needs a POSIX shell.
#if !defined(_WIN32)
TEST(CommandLine, ABarePluginNameMeansTheFileInTheCurrentFolder) {
  const TRunResult result =
      RunShell("cd " + TestPlugin("Scripted") + "/.. && zarn plugins --plugin Scripted.pi");
  EXPECT_TRUE(Contains(result.out, "name:              Scripted test plug-in\n")) << result.out;
}
#endif

}  // namespace
}  // namespace NZARNTEST
