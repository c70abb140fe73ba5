#include "support/LoadErrors.h"
#include "zarncore/InventoryLoader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using NZARNCORE::EClassFault;
using NZARNCORE::EPropertyFault;
using NZARNCORE::LoadInventoryFile;
using NZARNCORE::LoadInventoryText;
using NZARNCORE::TInventory;
using NZARNCORE::TInventoryError;

using NTESTS::ErrorOf;

std::string FileErrorOf(const std::string& path) {
  try {
    LoadInventoryFile(path);
  } catch (const TInventoryError& error) {
    return error.what();
  }
  return "(loaded)";
}

// An inventory whose one instance has property P with the given value.
std::string WithValue(const std::string& value) {
  return R"({"classes": {"C": [{"P": )" + value + "}]}}";
}

std::string WithClasses(const std::string& classes) { return R"({"classes": {)" + classes + "}}"; }

std::string WithPairs(const std::string& pairs) {
  return R"({"associations": [)" + pairs + R"(], "classes": {"C": [{"$id": "a"}, {"$id": "b"}]}})";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Unique, as several builds may run their tests at once.
std::string TempPath(const std::string& name) {
  const std::string unique = name + "-" + std::to_string(std::random_device()()) + ".json";
  return (std::filesystem::temp_directory_path() / unique).string();
}

struct TTempFile {
  ~TTempFile() { std::remove(path.c_str()); }
  const std::string path = TempPath("zarn-loader-pieces");
};

struct TBadCase {
  const char* name;
  std::string text;
  std::string error;
};

void PrintTo(const TBadCase& row, std::ostream* out) { *out << row.name; }

class BadInventory : public testing::TestWithParam<TBadCase> {};

TEST_P(BadInventory, StopsWithOneLocatedMessage) {
  EXPECT_EQ(ErrorOf(GetParam().text), "inv.json" + GetParam().error);
}

const std::string kDeepArrays = std::string(1000, '[') + std::string(1000, ']');

// Also the messages that docs/inventory-format.md lists.
const std::vector<TBadCase> kBadCases = {

    TBadCase{"Empty", "", ":1:1: empty input"},
    TBadCase{"Blank", "  \n  ", ":2:3: empty input"},
    TBadCase{"Truncated", "{\"classes\": {", ":1:14: unexpected end of input"},
    TBadCase{"StrayComma", "{\n  \"classes\": {,}}", ":2:15: unexpected ','"},
    TBadCase{"Comment", "// inventory\n{}", ":1:1: unexpected '/'"},
    TBadCase{"TrailingData", "{\"classes\": {}} {}",
             ":1:17: unexpected data after the top-level object"},
    TBadCase{"InvalidUtf8", "{\"classes\": {\"\xC3\xA9\xFF\": []}}", ":1:16: invalid UTF-8"},
    TBadCase{"ControlCharacter", "{\"classes\": {\"A\tB\": []}}",
             ":1:16: unexpected control character U+0009"},
    TBadCase{"LoneSurrogate", WithValue(R"("\udc00")"),
             ":1:33: unpaired surrogate in a \\u escape"},
    TBadCase{"BadHexEscape", WithValue(R"("\u00g0")"),
             ":1:31: expected a hex digit in a \\u escape"},
    TBadCase{"HugeExponent", WithValue("1e99999999999"), ":1:37: number exponent out of range"},
    TBadCase{"BadHexEscapeMidText", WithValue(R"("x\u00g0 and some more text")"),
             ":1:32: expected a hex digit in a \\u escape"},
    TBadCase{"LoneSurrogateMidText", WithValue(R"("\udc00 and some more text")"),
             ":1:33: unpaired surrogate in a \\u escape"},
    TBadCase{"SurrogateWithoutSecondHalf", WithValue(R"("\ud800\u0041 and some more text")"),
             ":1:39: unpaired surrogate in a \\u escape"},
    TBadCase{"TextCutShort", "\"classes", ":1:9: unexpected end of input"},
    TBadCase{"NumberCutShort", "{\"format\": 1.", ":1:14: unexpected end of input"},
    TBadCase{"TopLevelArray", "[]", ": top level: expected an object, got an array"},
    TBadCase{"NoClasses", "{\"format\": 1}", ": top level: missing key 'classes'"},
    TBadCase{"UnknownTopKey", "{\"classes\": {}, \"foo\": 1}", ": top level: unknown key 'foo'"},
    TBadCase{"DuplicateTopKey", "{\"classes\": {}, \"classes\": {}}",
             ": top level: duplicate key 'classes'"},
    TBadCase{"FormatTwo", "{\"format\": 2, \"classes\": {}}",
             ": format: unsupported format 2 (expected 1)"},
    TBadCase{"FormatText", "{\"format\": \"1\", \"classes\": {}}",
             ": format: expected the integer 1, got a string"},
    TBadCase{"OsTypeRange", "{\"operatingSystemType\": 65536, \"classes\": {}}",
             ": operatingSystemType: value 65536 does not fit uint16"},
    TBadCase{"OsTypeNegative", "{\"operatingSystemType\": -1, \"classes\": {}}",
             ": operatingSystemType: value -1 does not fit uint16"},
    TBadCase{"OsTypeReal", "{\"operatingSystemType\": 18.0, \"classes\": {}}",
             ": operatingSystemType: expected an integer or a fault object, got a real number"},
    TBadCase{"OsTypeFaultPoint",
             "{\"operatingSystemType\": {\"$error\": 5, \"on\": \"value\"}, \"classes\": {}}",
             ": operatingSystemType: unknown key 'on'"},
    TBadCase{"ClassesArray", "{\"classes\": []}",
             ": classes: expected an object of classes, got an array"},
    TBadCase{"ClassText", WithClasses(R"("C": "x")"),
             ": classes.C: expected an array of instances or a fault object, got a string"},
    TBadCase{"EmptyClassName", WithClasses(R"("": [])"), ": classes: empty class name"},
    TBadCase{"DuplicateClass", WithClasses(R"("C": [], "D": [], "C": [])"),
             ": classes: duplicate key 'C'"},
    TBadCase{"InstanceNumber", WithClasses(R"("C": [{}, 1])"),
             ": classes.C[1]: expected an instance object, got an integer"},
    TBadCase{"ClassFaultNoStatus", WithClasses(R"("C": {"on": "enumerate"})"),
             ": classes.C: missing key '$error'"},
    TBadCase{"ClassFaultPoint", WithClasses(R"("C": {"$error": 5, "on": "value"})"),
             ": classes.C.on: expected 'enumerate', got 'value'"},
    TBadCase{"ClassFaultStatusRange", WithClasses(R"("C": {"$error": 2147483648})"),
             ": classes.C.$error: value 2147483648 does not fit sint32"},
    TBadCase{"ClassFaultExtraKey", WithClasses(R"("C": {"$error": 5, "x": 1})"),
             ": classes.C: unknown key 'x'"},
    TBadCase{"ClassFaultTwice", WithClasses(R"("C": {"$error": 5, "$error": 6})"),
             ": classes.C: duplicate key '$error'"},
    TBadCase{"IdNumber", WithClasses(R"("C": [{"$id": 7}])"),
             ": classes.C[0].$id: expected a string, got an integer"},
    TBadCase{"IdEmpty", WithClasses(R"("C": [{"$id": ""}])"), ": classes.C[0].$id: empty $id"},
    TBadCase{"IdTwice", WithClasses(R"("C": [{"$id": "a", "$id": "b"}])"),
             ": classes.C[0]: duplicate key '$id'"},
    TBadCase{"IdReused", WithClasses(R"("C": [{"$id": "a"}], "D": [{}, {"P": 1, "$id": "a"}])"),
             ": classes.D[1].$id: duplicate $id 'a' (first at classes.C[0])"},
    TBadCase{"DollarKey", WithClasses(R"("C": [{"$ref": "a"}])"),
             ": classes.C[0]: unknown key '$ref'"},
    TBadCase{"PropertyTwice", WithClasses(R"("C": [{"P": 1, "Q": 2, "P": 3}])"),
             ": classes.C[0]: duplicate key 'P'"},
    TBadCase{"PropertyArray", WithValue("[1, 2]"),
             ": classes.C[0].P: arrays are not supported as property values"},
    TBadCase{"DeepArrays", WithValue(kDeepArrays),
             ": classes.C[0].P: arrays are not supported as property values"},
    TBadCase{"IntegerBeyondInt64", WithValue("9223372036854775808"),
             ": classes.C[0].P: value 9223372036854775808 does not fit sint64"},
    TBadCase{"IntegerBeyondUInt64", WithValue("-99999999999999999999"),
             ": classes.C[0].P: value -99999999999999999999 does not fit sint64"},
    TBadCase{"RealInfinite", WithValue("1e400"),
             ": classes.C[0].P: value 1e400 does not fit real64"},
    TBadCase{"EmptyValueObject", WithValue("{}"),
             ": classes.C[0].P: empty object (expected a typed value or a fault object)"},
    TBadCase{"UnknownType", WithValue(R"({"uint17": 1})"),
             ": classes.C[0].P: unknown type 'uint17' (expected one of boolean, uint8, sint8, "
             "uint16, sint16, uint32, sint32, uint64, sint64, real32, real64, char16, string, "
             "datetime)"},
    TBadCase{"TypedTwoKeys", WithValue(R"({"uint16": 1, "$error": 2})"),
             ": classes.C[0].P: unexpected key '$error' (a typed value has exactly one key)"},
    TBadCase{"PropertyFaultPoint", WithValue(R"({"$error": 1, "on": "enumerate"})"),
             ": classes.C[0].P.on: expected 'value', got 'enumerate'"},
    TBadCase{"PropertyFaultNoStatus", WithValue(R"({"on": "value"})"),
             ": classes.C[0].P: missing key '$error'"},
    TBadCase{"PropertyFaultMisspelt", WithValue(R"({"$eror": 1})"),
             ": classes.C[0].P: unknown key '$eror'"},
    TBadCase{"PropertyFaultStatusText", WithValue(R"({"$error": "15"})"),
             ": classes.C[0].P.$error: expected an integer, got a string"},
    TBadCase{"UInt8High", WithValue(R"({"uint8": 256})"),
             ": classes.C[0].P: value 256 does not fit uint8"},
    TBadCase{"UInt8Negative", WithValue(R"({"uint8": -1})"),
             ": classes.C[0].P: value -1 does not fit uint8"},
    TBadCase{"SInt8High", WithValue(R"({"sint8": 128})"),
             ": classes.C[0].P: value 128 does not fit sint8"},
    TBadCase{"SInt8Low", WithValue(R"({"sint8": -129})"),
             ": classes.C[0].P: value -129 does not fit sint8"},
    TBadCase{"UInt16High", WithValue(R"({"uint16": 70000})"),
             ": classes.C[0].P: value 70000 does not fit uint16"},
    TBadCase{"SInt16Low", WithValue(R"({"sint16": -32769})"),
             ": classes.C[0].P: value -32769 does not fit sint16"},
    TBadCase{"UInt32High", WithValue(R"({"uint32": 4294967296})"),
             ": classes.C[0].P: value 4294967296 does not fit uint32"},
    TBadCase{"SInt32High", WithValue(R"({"sint32": 2147483648})"),
             ": classes.C[0].P: value 2147483648 does not fit sint32"},
    TBadCase{"UInt64High", WithValue(R"({"uint64": 18446744073709551616})"),
             ": classes.C[0].P: value 18446744073709551616 does not fit uint64"},
    TBadCase{"UInt64Negative", WithValue(R"({"uint64": -1})"),
             ": classes.C[0].P: value -1 does not fit uint64"},
    TBadCase{"SInt64High", WithValue(R"({"sint64": 9223372036854775808})"),
             ": classes.C[0].P: value 9223372036854775808 does not fit sint64"},
    TBadCase{"Real32High", WithValue(R"({"real32": 3.5e38})"),
             ": classes.C[0].P: value 3.5e38 does not fit real32"},
    TBadCase{"Real32IntegerHigh",
             WithValue(R"({"real32": -1000000000000000000000000000000000000000})"),
             ": classes.C[0].P: value -1000000000000000000000000000000000000000 does not fit "
             "real32"},
    TBadCase{"IntegerGivenReal", WithValue(R"({"uint8": 1.0})"),
             ": classes.C[0].P: expected an integer for uint8, got a real number"},
    TBadCase{"IntegerGivenText", WithValue(R"({"sint32": "1"})"),
             ": classes.C[0].P: expected an integer for sint32, got a string"},
    TBadCase{"BooleanGivenInteger", WithValue(R"({"boolean": 1})"),
             ": classes.C[0].P: expected true or false for boolean, got an integer"},
    TBadCase{"RealGivenText", WithValue(R"({"real64": "1.5"})"),
             ": classes.C[0].P: expected a number for real64, got a string"},
    TBadCase{"StringGivenBoolean", WithValue(R"({"string": false})"),
             ": classes.C[0].P: expected a string for string, got a boolean"},
    TBadCase{"TypedObject", WithValue(R"({"uint16": {"uint16": 1}})"),
             ": classes.C[0].P: expected an integer for uint16, got an object"},
    TBadCase{"Char16Empty", WithValue(R"({"char16": ""})"),
             ": classes.C[0].P: expected exactly one character for char16, got ''"},
    TBadCase{"Char16Two", WithValue(R"({"char16": "ab"})"),
             ": classes.C[0].P: expected exactly one character for char16, got 'ab'"},
    TBadCase{"Char16Astral", WithValue(R"({"char16": "\ud83d\ude00"})"),
             ": classes.C[0].P: '\xF0\x9F\x98\x80' does not fit char16 (two UTF-16 code units)"},
    TBadCase{"DateTimeShort", WithValue(R"({"datetime": "2026-12-06"})"),
             ": classes.C[0].P: bad datetime '2026-12-06': expected 25 characters, got 10"},
    TBadCase{"DateTimeDot", WithValue(R"({"datetime": "20261206083000,000000+060"})"),
             ": classes.C[0].P: bad datetime '20261206083000,000000+060': expected '.' at "
             "offset 14"},
    TBadCase{"DateTimeSign", WithValue(R"({"datetime": "20261206083000.000000 060"})"),
             ": classes.C[0].P: bad datetime '20261206083000.000000 060': expected '+', '-' or "
             "':' at offset 21"},
    TBadCase{"DateTimeDigit", WithValue(R"({"datetime": "2026120608300x.000000+060"})"),
             ": classes.C[0].P: bad datetime '2026120608300x.000000+060': expected a digit or "
             "'*' at offset 13"},
    TBadCase{"AssociationsObject", "{\"associations\": {}, \"classes\": {}}",
             ": associations: expected an array of [id, id] pairs, got an object"},
    TBadCase{"PairText", WithPairs(R"("a")"),
             ": associations[0]: expected an [id, id] pair, got a string"},
    TBadCase{"PairOfThree", WithPairs(R"(["a", "b", "a"])"),
             ": associations[0]: expected a pair of two $ids, got 3"},
    TBadCase{"PairNull", WithPairs(R"(["a", null])"),
             ": associations[0][1]: expected a string $id, got null"},
    TBadCase{"PairUnknownId", WithPairs(R"(["a", "b"], ["b", "disk9"])"),
             ": associations[1][1]: unknown $id 'disk9'"},
    TBadCase{"PairSelf", WithPairs(R"(["a", "a"])"),
             ": associations[0]: associates 'a' with itself"},
    TBadCase{"PairRepeated", WithPairs(R"(["a", "b"], ["b", "a"])"),
             ": associations[1]: duplicate association of 'b' and 'a' (first at associations[0])"}};

INSTANTIATE_TEST_SUITE_P(Loader, BadInventory, testing::ValuesIn(kBadCases),
                         [](const testing::TestParamInfo<TBadCase>& row) {
                           return row.param.name;
                         });

struct TGoodValue {
  const char* json;
  int type;
  bool null;
  std::string text;
};

void PrintTo(const TGoodValue& row, std::ostream* out) { *out << row.json; }

class GoodValue : public testing::TestWithParam<TGoodValue> {};

TEST_P(GoodValue, BecomesTypedValue) {
  const boost::shared_ptr<TInventory> inventory =
      LoadInventoryText(WithValue(GetParam().json), "inv.json");
  const NQELZARN20::TCIMValue value = inventory->Properties(0).at(0).value;
  EXPECT_EQ(static_cast<int>(value.GetType()), GetParam().type);
  EXPECT_EQ(value.IsNull(), GetParam().null);
  EXPECT_EQ(value.ToString(10), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Loader, GoodValue,
    testing::Values(
        TGoodValue{R"("Hard disk")", 13, false, "Hard disk"},
        TGoodValue{R"("tab\tquote\"e\u0301\u00e9")", 13, false, "tab\tquote\"e\xCC\x81\xC3\xA9"},
        TGoodValue{R"("zelk\u0000412.sys")", 13, false,
                   std::string("zelk\0"
                               "412.sys",
                               12)},
        TGoodValue{"true", 1, false, "true"}, TGoodValue{"false", 1, false, "false"},
        TGoodValue{"-9223372036854775808", 9, false, "-9223372036854775808"},
        TGoodValue{"1.5", 11, false, "1.5"}, TGoodValue{"-2.5E-3", 11, false, "-0.0025"},
        TGoodValue{"null", 0, true, ""}, TGoodValue{R"({"boolean": true})", 1, false, "true"},
        TGoodValue{R"({"uint8": 255})", 2, false, "255"},
        TGoodValue{R"({"sint8": -128})", 3, false, "-128"},
        TGoodValue{R"({"uint16": 36869})", 4, false, "36869"},
        TGoodValue{R"({"sint16": -32768})", 5, false, "-32768"},
        TGoodValue{R"({"uint32": 4294967295})", 6, false, "4294967295"},
        TGoodValue{R"({"sint32": -2147483648})", 7, false, "-2147483648"},
        TGoodValue{R"({"uint64": 18446744073709551615})", 8, false, "18446744073709551615"},
        TGoodValue{R"({"sint64": 9223372036854775807})", 9, false, "9223372036854775807"},
        TGoodValue{R"({"real32": 0.1})", 10, false, "0.1"},
        TGoodValue{R"({"real32": 3.4028235e38})", 10, false, "3.4028235e+38"},
        TGoodValue{R"({"real64": 99999999999999999999})", 11, false, "1e+20"},
        TGoodValue{R"({"char16": "\u20ac"})", 12, false, "\xE2\x82\xAC"},
        TGoodValue{R"({"string": "20261206083000.000000+060"})", 13, false,
                   "20261206083000.000000+060"},
        TGoodValue{R"({"datetime": "20261206083000.000000-300"})", 14, false,
                   "20261206083000.000000-300"},
        TGoodValue{R"({"datetime": "00000001020304.000000:000"})", 14, false,
                   "00000001020304.000000:000"},
        TGoodValue{R"({"datetime": "2026****083000.******+060"})", 14, false,
                   "2026****083000.******+060"},
        TGoodValue{R"({"uint16": null})", 4, true, ""},
        TGoodValue{R"({"datetime": null})", 14, true, ""}));

TEST(Loader, KeepsClassesInstancesFaultsAndAssociationsInFileOrder) {
  const boost::shared_ptr<TInventory> inventory = LoadInventoryText(R"({
    "associations": [["disk0", "disk0-fw"], ["disk1", "disk0"]],
    "operatingSystemType": {"$error": 3},
    "classes": {
      "Disk": [{"Size": 1, "$id": "disk0"}, {"Size": 2}, {"$id": "disk1"}],
      "Firmware": [{"$id": "disk0-fw", "Version": {"$error": 9}, "Date": {"on": "value", "$error": -2}}],
      "Empty": [],
      "Hidden": {"$error": 15},
      "Refused": {"$error": 5, "on": "enumerate"}
    }
  })",
                                                                    "inv.json");
  ASSERT_EQ(inventory->ClassCount(), 5u);
  EXPECT_EQ(inventory->Class(1).name, "Firmware");
  EXPECT_EQ(inventory->FindClass("Empty")->instances.size(), 0u);
  EXPECT_EQ(inventory->FindClass("Hidden")->fault, EClassFault::Lookup);
  EXPECT_EQ(inventory->FindClass("Refused")->fault, EClassFault::Enumerate);
  EXPECT_EQ(inventory->FindClass("Refused")->faultStatus, 5);
  EXPECT_EQ(inventory->FindClass("Disk")->fault, EClassFault::None);
  EXPECT_EQ(inventory->Label(1), "Disk[1]");
  EXPECT_EQ(inventory->IndexInClass(*inventory->FindInstanceById("disk1")), 2u);
  EXPECT_EQ(*inventory->OperatingSystemTypeFault(), 3);
  EXPECT_FALSE(inventory->OperatingSystemType());

  EXPECT_EQ(inventory->Id(3), "disk0-fw");
  const std::vector<TInventory::TProperty> firmware = inventory->Properties(3);
  EXPECT_EQ(firmware[0].fault, EPropertyFault::Lookup);
  EXPECT_EQ(firmware[0].faultStatus, 9);
  EXPECT_EQ(firmware[1].fault, EPropertyFault::Value);
  EXPECT_EQ(firmware[1].faultStatus, -2);
  EXPECT_EQ(inventory->FindClass("Firmware")->propertyFaults, 2u);

  EXPECT_EQ(inventory->AssociationCount(), 2u);
  EXPECT_EQ(inventory->Associated(0), (std::vector<std::uint32_t>{3, 2}));
  EXPECT_EQ(inventory->Associated(2), (std::vector<std::uint32_t>{0}));
}

TEST(Loader, ReadsOperatingSystemTypeAndSkipsByteOrderMark) {
  const boost::shared_ptr<TInventory> inventory = LoadInventoryText(
      "\xEF\xBB\xBF{\"format\": 1, \"operatingSystemType\": 65535, \"classes\": {}}", "inv.json");
  EXPECT_EQ(*inventory->OperatingSystemType(), 65535);
  EXPECT_EQ(ErrorOf("\xEF\xBB\xBF{,"), "inv.json:1:2: unexpected ','");
}

// A file is parsed a mebibyte at a time: tokens and multi-byte characters cut
// in two, and positions of syntax errors past the first piece.
TEST(Loader, ReadsTokensAcrossPieceBoundaries) {
  const TTempFile file;
  const std::string& path = file.path;
  const std::string head = R"({"classes": {"C": [{"Pad": ")";
  const std::string tail = R"(", "K\u00e9y": "v\u00e9rt)"
                           "\xC3\xA9"
                           R"(", "N": -1234567, "R": 1.25e2, "T": {"uint16": 65535}}]}})";
  const std::size_t piece = std::size_t(1) << 20;
  for (std::size_t cut = 0; cut < tail.size(); ++cut) {
    WriteFile(path, head + std::string(piece - head.size() - cut, 'x') + tail);
    const boost::shared_ptr<TInventory> inventory = LoadInventoryFile(path);
    const std::vector<TInventory::TProperty> properties = inventory->Properties(0);
    ASSERT_EQ(properties.size(), 5u) << "cut " << cut;
    EXPECT_EQ(properties[1].name, "K\xC3\xA9y") << "cut " << cut;
    EXPECT_EQ(properties[1].value.ToString(10), "v\xC3\xA9rt\xC3\xA9") << "cut " << cut;
    EXPECT_EQ(properties[2].value.ToString(10), "-1234567") << "cut " << cut;
    EXPECT_EQ(properties[3].value.ToString(10), "125") << "cut " << cut;
    EXPECT_EQ(properties[4].value.ToString(10), "65535") << "cut " << cut;
  }
  std::string wide;
  for (std::size_t i = 0; i < 700000; ++i) wide += "\xC3\xA9";
  WriteFile(path, head + wide + "\",\n  \"X\": 1,,");
  EXPECT_EQ(FileErrorOf(path), path + ":2:10: unexpected ','");
  WriteFile(path, head + wide + "\", ,");
  EXPECT_EQ(FileErrorOf(path),
            path + ":1:" + std::to_string(head.size() + 700000 + 4) + ": unexpected ','");
}

TEST(Loader, NamesFileThatCannotBeRead) {
  const std::string missing = TempPath("zarn-loader-missing");
  EXPECT_EQ(FileErrorOf(missing), missing + ": cannot read: no such file or directory");
  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(FileErrorOf(folder), folder + ": cannot read: is a directory");
}

std::vector<std::string> Lines(const std::string& text) {
  std::istringstream stream(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The error an example is shown with: the line after "```text" when the next
// paragraph starts "Loading it stops with"; otherwise it loads.
std::string ShownError(const std::vector<std::string>& lines, std::size_t next) {
  while (next < lines.size() && lines[next].empty()) ++next;
  if (next == lines.size() || lines[next].rfind("Loading it stops with", 0) != 0) {
    return "(loaded)";
  }
  while (next < lines.size() && lines[next] != "```text") ++next;
  return next + 1 < lines.size() ? lines[next + 1] : std::string();
}

std::string ProjectFile(const std::string& path) { return ReadFile(PROJECT_DIR "/" + path); }

// Every JSON block of the format document is an example file, shown as it
// is, preceded by a link to it and loading as the document says.
TEST(Loader, FormatDocumentShowsItsExamplesAsTheyLoad) {
  const std::vector<std::string> lines = Lines(ProjectFile("docs/inventory-format.md"));
  std::size_t shown = 0;
  std::string file;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t link = lines[i].find("](examples/");
    if (link != std::string::npos) {
      file = "docs/" + lines[i].substr(link + 2, lines[i].find(')', link) - link - 2);
    }
    if (lines[i] != "```json") continue;
    std::string block;
    while (++i < lines.size() && lines[i] != "```") block += lines[i] + "\n";
    ASSERT_FALSE(file.empty()) << "a JSON block names no example file:\n" << block;
    EXPECT_EQ(ProjectFile(file), block) << file;
    std::string error = FileErrorOf(PROJECT_DIR "/" + file);
    if (error.rfind(PROJECT_DIR "/", 0) == 0) error.erase(0, std::string(PROJECT_DIR "/").size());
    EXPECT_EQ(error, ShownError(lines, i + 1)) << file;
    ++shown;
    file.clear();
  }
  EXPECT_GE(shown, 8u) << "the examples were not found";
}

std::vector<std::string> CodeSpans(const std::string& line) {
  std::vector<std::string> spans;
  for (std::size_t open = line.find('`'); open != std::string::npos;) {
    const std::size_t close = line.find('`', open + 1);
    if (close == std::string::npos) break;
    spans.push_back(line.substr(open + 1, close - open - 1));
    open = line.find('`', close + 1);
  }
  return spans;
}

// The JSON in the document's tables of values and faults is taken from its
// examples, and each message of its list is one that a case above expects.
TEST(Loader, FormatDocumentTablesQuoteExamplesAndRealMessages) {
  std::string examples;
  for (const auto& entry : std::filesystem::directory_iterator(PROJECT_DIR "/docs/examples")) {
    examples += ReadFile(entry.path().string());
  }
  bool inMessages = false;
  std::size_t messages = 0;
  for (const std::string& line : Lines(ProjectFile("docs/inventory-format.md"))) {
    if (line.rfind("|", 0) != 0) inMessages = false;
    if (line.rfind("| Message", 0) == 0) inMessages = true;
    const std::vector<std::string> spans = CodeSpans(line);
    for (const std::string& span : spans) {
      if (!inMessages && line[0] == '|' && (span[0] == '{' || span[0] == '[')) {
        EXPECT_NE(examples.find(span), std::string::npos) << span;
      }
    }
    if (!inMessages || spans.empty()) continue;
    ++messages;
    const std::string ending = ": " + spans[0];
    EXPECT_TRUE(std::any_of(kBadCases.begin(), kBadCases.end(), [&](const TBadCase& row) {
      return row.error.size() >= ending.size() &&
             row.error.compare(row.error.size() - ending.size(), ending.size(), ending) == 0;
    })) << spans[0];
  }
  EXPECT_GE(messages, 20u) << "the list of messages was not found";
}

}  // namespace
