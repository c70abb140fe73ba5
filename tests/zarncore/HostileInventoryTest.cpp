// Inventories made to hurt the loader: nested a hundred thousand levels deep, tens of
// mebibytes large, or not UTF-8. Each is loaded or refused with one located
// message; none may crash it or take long.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/LoadErrors.h"
#include "zarncore/InventoryLoader.h"

namespace {

using NZARNCORE::LoadInventoryFile;
using NZARNCORE::TInventory;
using NZARNCORE::TInventoryError;
using namespace std::string_literals;

using NTESTS::ErrorOf;

struct THostileCase {
  const char* name;
  std::string text;
  std::string error;
};

void PrintTo(const THostileCase& row, std::ostream* out) { *out << row.name; }

const std::size_t kDepth = 100000;
const std::string kDeepArrays = std::string(kDepth, '[') + std::string(kDepth, ']');

std::string DeepObjects() {
  std::string text;
  for (std::size_t i = 0; i < kDepth; ++i) text += R"({"a":)";
  return text + "1" + std::string(kDepth, '}');
}

class HostileText : public testing::TestWithParam<THostileCase> {};

TEST_P(HostileText, IsRefusedWithOneLocatedMessage) {
  EXPECT_EQ(ErrorOf(GetParam().text), "inv.json" + GetParam().error);
}

// Nesting is refused where it leaves the format's five levels, wherever that
// is; bytes that are no UTF-8 are refused where they start. Control
// characters that escapes put into names show escaped in the message.
INSTANTIATE_TEST_SUITE_P(
    Loader, HostileText,
    testing::Values(
        THostileCase{"DeepTopLevel", kDeepArrays, ": top level: expected an object, got an array"},
        THostileCase{"DeepClasses", R"({"classes": )" + kDeepArrays + "}",
                     ": classes: expected an object of classes, got an array"},
        THostileCase{"DeepClassFault", R"({"classes": {"C": {"$error": )" + DeepObjects() + "}}}",
                     ": classes.C.$error: expected an integer, got an object"},
        THostileCase{"DeepInstances", R"({"classes": {"C": )" + kDeepArrays + "}}",
                     ": classes.C[0]: expected an instance object, got an array"},
        THostileCase{"DeepTypedValue",
                     R"({"classes": {"C": [{"P": {"uint16": )" + DeepObjects() + "}}]}}",
                     ": classes.C[0].P: expected an integer for uint16, got an object"},
        THostileCase{"DeepAssociations", R"({"classes": {}, "associations": )" + kDeepArrays + "}",
                     ": associations[0][0]: expected a string $id, got an array"},
        THostileCase{"Utf8Overlong", "{\"classes\": {\"C\": [{\"P\": \"\xC0\xAF\"}]}}",
                     ":1:27: invalid UTF-8"},
        THostileCase{"Utf8Surrogate", "{\"classes\": {\"C\": [{\"P\": \"\xED\xA0\x80\"}]}}",
                     ":1:27: invalid UTF-8"},
        THostileCase{"Utf8BeyondUnicode", "{\"classes\": {\"C\": [{\"P\": \"\xF4\x90\x80\x80\"}]}}",
                     ":1:27: invalid UTF-8"},
        THostileCase{"Utf8CutShort", "{\"classes\": {\"C\": [{\"P\": \"\xE2\x82\"}]}}",
                     ":1:27: invalid UTF-8"},
        THostileCase{"Utf8ContinuationOnly", "{\"classes\": {\"C\": [{\"P\": \"a\x80\"}]}}",
                     ":1:28: invalid UTF-8"},
        THostileCase{"ControlCharactersInAKey",
                     R"({"classes": {}, "a\nb\t\u001b[31mred\u007f": 1})",
                     R"(: top level: unknown key 'a\nb\t\u001B[31mred\u007F')"},
        THostileCase{
            "ControlCharactersInAPath", R"({"classes": {"C\r\u0000": [{"\u0007": []}]}})",
            R"(: classes.C\r\u0000[0].\u0007: arrays are not supported as property values)"},
        THostileCase{"NulByte", "{\"classes\": {\"C\": [{\"P\": \"a\0\"}]}}"s,
                     ":1:28: unexpected control character U+0000"}),
    [](const testing::TestParamInfo<THostileCase>& row) { return row.param.name; });

// Unique, as several builds may run their tests at once.
struct TTempFile {
  TTempFile()
      : path((std::filesystem::temp_directory_path() /
              ("zarn-hostile-" + std::to_string(std::random_device()()) + ".json"))
                 .string()) {}
  ~TTempFile() { std::remove(path.c_str()); }
  const std::string path;
};

// A file of tens of mebibytes, read a piece at a time: many instances, one
// very long text, and a syntax error far down that is still placed exactly.
TEST(HostileFile, AHugeFileLoadsWholeAndItsErrorsKeepTheirPlace) {
  const std::size_t instances = 200000;
  const std::size_t longText = std::size_t(48) << 20;
  const TTempFile file;
  {
    std::ofstream out(file.path, std::ios::binary);
    out << "{\"classes\": {\"QELSG_txDiskDrive\": [\n";
    for (std::size_t i = 0; i < instances; ++i)
      out << R"(  {"DeviceType": "Hard disk", "DeviceCode": "QEL-RND 36G"},)" << '\n';
    out << "  {\"DeviceCode\": \"" << std::string(longText, 'x') << "\"}\n]}}\n";
  }
  const boost::shared_ptr<TInventory> inventory = LoadInventoryFile(file.path);
  ASSERT_EQ(inventory->InstanceCount(), instances + 1);
  EXPECT_EQ(inventory->Properties(instances).at(0).value.ToString(10).size(), longText);

  std::filesystem::resize_file(file.path, std::filesystem::file_size(file.path) - 5);
  std::ofstream(file.path, std::ios::binary | std::ios::app) << ",]}}\n";
  try {
    LoadInventoryFile(file.path);
    ADD_FAILURE() << "loaded";
  } catch (const TInventoryError& error) {
    EXPECT_EQ(std::string(error.what()), file.path + ":" + std::to_string(instances + 2) + ":" +
                                             std::to_string(longText + 22) + ": unexpected ']'");
  }
}

}  // namespace
