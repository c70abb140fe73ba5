#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

#include <gtest/gtest.h>

#include "support/CaseName.h"
#include "support/LoadErrors.h"
#include "zarncore/InventoryLoader.h"

namespace {

using NTESTS::ErrorOf;
using NZARNCORE::LoadInventoryFile;
using NZARNCORE::LoadInventoryText;
using NZARNCORE::TInventory;
using NZARNCORE::TInventoryError;
using namespace std::string_literals;

// The loader's message, or "(loaded)".
std::string ErrorOf(const std::function<void()>& load) {
  try {
    load();
  } catch (const TInventoryError& error) {
    return error.what();
  }
  return "(loaded)";
}

std::string FileErrorOf(const std::string& path) {
  return ErrorOf([&] { LoadInventoryFile(path); });
}

// An inventory whose one instance has property P with the given value.
std::string WithValue(const std::string& value) {
  return R"({"classes": {"C": [{"P": )" + value + "}]}}";
}

const std::size_t kDepth = 100000;
const std::string kDeepArrays = std::string(kDepth, '[') + std::string(kDepth, ']');

std::string DeepObjects() {
  std::string text;
  for (std::size_t i = 0; i < kDepth; ++i) text += R"({"a":)";
  return text + "1" + std::string(kDepth, '}');
}

const std::string kLong(100000, 'x');

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Unique, as several builds may run their tests at once.
struct TTempFile {
  ~TTempFile() { std::remove(path.c_str()); }
  void Write(const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("zarn-loader-" + std::to_string(std::random_device()()) + ".json"))
                               .string();
};

struct TBadCase {
  const char* name;
  std::string text;
  std::string error;
  friend std::ostream& operator<<(std::ostream& out, const TBadCase& c) { return out << c.name; }
};

// A case of top-level members beside an empty classes object.
TBadCase Top(const char* name, const std::string& members, const std::string& error) {
  return {name, R"({"classes": {}, )" + members + "}", error};
}
TBadCase Classes(const char* name, const std::string& classes, const std::string& error) {
  return {name, R"({"classes": {)" + classes + "}}", error};
}
// A case of a property value, refused in its place, classes.C[0].P.
TBadCase Value(const char* name, const std::string& value, const std::string& error) {
  return {name, WithValue(value), ": classes.C[0].P: " + error};
}
TBadCase Pairs(const char* name, const std::string& pairs, const std::string& error) {
  return {name,
          R"({"classes": {"C": [{"$id": "a"}, {"$id": "b"}]}, "associations": [)" + pairs + "]}",
          error};
}
TBadCase Collected(const char* name, const std::string& entry, const std::string& error) {
  return Top(name,
             R"("collection": {"collector": "c", "version": "1", "time": "t", "classes": {"X": )" +
                 entry + "}}",
             error);
}

class BadInventory : public testing::TestWithParam<TBadCase> {};

// A file is mapped, and the place of an error found in it only once met.
TEST_P(BadInventory, StopsWithOneLocatedMessage) {
  EXPECT_EQ(ErrorOf(GetParam().text), "inv.json" + GetParam().error);
  const TTempFile file;
  file.Write(GetParam().text);
  EXPECT_EQ(FileErrorOf(file.path), file.path + GetParam().error);
}

// Also the messages that docs/inventory-format.md lists. Syntax errors are
// placed at the first byte that is wrong; nesting is refused where it leaves
// the format, however deep it goes.
const std::vector<TBadCase> kBadCases = {
    {"Blank", "  \n  ", ":2:3: empty input"},
    {"ByteOrderMark", "\xEF\xBB\xBF{,", ":1:2: unexpected ','"},
    {"Truncated", "{\"classes\": {", ":1:14: unexpected end of input"},
    {"StrayComma", "{\n  \"classes\": {,}}", ":2:15: unexpected ','"},
    {"Comment", "// inventory\n{}", ":1:1: unexpected '/'"},
    {"Misspelt", WithValue("tru}"), ":1:29: unexpected '}'"},
    {"TrailingData", "{\"classes\": {}} {}", ":1:17: unexpected data after the top-level object"},
    {"InvalidUtf8", "{\"classes\": {\"\xC3\xA9\xFF\": []}}", ":1:16: invalid UTF-8"},
    {"ControlCharacter", "{\"classes\": {\"A\tB\": []}}",
     ":1:16: unexpected control character U+0009"},
    {"LoneSurrogate", WithValue(R"("\udc00 and more")"),
     ":1:27: unpaired surrogate in a \\u escape"},
    {"SurrogateThenText", WithValue(R"("\ud800x")"), ":1:33: unpaired surrogate in a \\u escape"},
    {"SurrogateThenEscape", WithValue(R"("\ud800\u0041 and more")"),
     ":1:33: unpaired surrogate in a \\u escape"},
    {"BadHexEscape", WithValue(R"("x\u00g0 and more")"),
     ":1:32: expected a hex digit in a \\u escape"},
    {"HugeExponent", WithValue("1e99999999999"), ":1:37: number exponent out of range"},
    {"DeepTopLevel", kDeepArrays, ": top level: expected an object, got an array"},
    {"NoClasses", "{\"format\": 1}", ": top level: missing key 'classes'"},
    Top("UnknownTopKey", R"("foo": 1)", ": top level: unknown key 'foo'"),
    Top("DuplicateTopKey", R"("classes": {})", ": top level: duplicate key 'classes'"),
    Top("FormatTwo", R"("format": 2)", ": format: unsupported format 2 (expected 1)"),
    Top("OsTypeRange", R"("operatingSystemType": 65536)",
        ": operatingSystemType: value 65536 does not fit uint16"),
    Top("OsTypeReal", R"("operatingSystemType": 18.0)",
        ": operatingSystemType: expected an integer or a fault object, got a real number"),
    Top("OsTypeFaultPoint", R"("operatingSystemType": {"$error": 5, "on": "value"})",
        ": operatingSystemType: unknown key 'on'"),
    {"ClassesArray", "{\"classes\": []}", ": classes: expected an object of classes, got an array"},
    Classes("ClassText", R"("C": "x")",
            ": classes.C: expected an array of instances or a fault object, got a string"),
    Classes("EmptyClassName", R"("": [])", ": classes: empty class name"),
    Classes("DuplicateClass", R"("C": [], "D": [], "C": [])", ": classes: duplicate key 'C'"),
    Classes("InstanceNumber", R"("C": [{}, 1])",
            ": classes.C[1]: expected an instance object, got an integer"),
    Classes("ClassFaultNoStatus", R"("C": {"on": "enumerate"})",
            ": classes.C: missing key '$error'"),
    Classes("ClassFaultPoint", R"("C": {"$error": 5, "on": "value"})",
            ": classes.C.on: expected 'enumerate', got 'value'"),
    Classes("ClassFaultStatusRange", R"("C": {"$error": 2147483648})",
            ": classes.C.$error: value 2147483648 does not fit sint32"),
    Classes("DeepClassFault", R"("C": {"$error": )" + DeepObjects() + "}",
            ": classes.C.$error: expected an integer, got an object"),
    Classes("ClassFaultTwice", R"("C": {"$error": 5, "$error": 6})",
            ": classes.C: duplicate key '$error'"),
    Classes("IdNumber", R"("C": [{"$id": 7}])",
            ": classes.C[0].$id: expected a string, got an integer"),
    Classes("IdEmpty", R"("C": [{"$id": ""}])", ": classes.C[0].$id: empty $id"),
    Classes("IdTwice", R"("C": [{"$id": "a", "$id": "b"}])", ": classes.C[0]: duplicate key '$id'"),
    Classes("IdReused", R"("C": [{"$id": "a"}], "D": [{}, {"P": 1, "$id": "a"}])",
            ": classes.D[1].$id: duplicate $id 'a' (first at classes.C[0])"),
    Classes("DollarKey", R"("C": [{"$ref": "a"}])", ": classes.C[0]: unknown key '$ref'"),
    Classes("PropertyTwice", R"("C": [{"P": 1, "Q": 2, "P": 3}])",
            ": classes.C[0]: duplicate key 'P'"),
    Value("PropertyArray", kDeepArrays, "arrays are not supported as property values"),
    Value("IntegerBeyondInt64", "9223372036854775808",
          "value 9223372036854775808 does not fit sint64"),
    Value("IntegerBeyondUInt64", "-99999999999999999999",
          "value -99999999999999999999 does not fit sint64"),
    Value("RealInfinite", "1e400", "value 1e400 does not fit real64"),
    Value("EmptyValueObject", "{}", "empty object (expected a typed value or a fault object)"),
    Value("UnknownType", R"({"uint17": 1})",
          "unknown type 'uint17' (expected one of boolean, uint8, sint8, uint16, sint16, uint32, "
          "sint32, uint64, sint64, real32, real64, char16, string, datetime)"),
    Value("TypedTwoKeys", R"({"uint16": 1, "$error": 2})",
          "unexpected key '$error' (a typed value has exactly one key)"),
    {"PropertyFaultPoint", WithValue(R"({"$error": 1, "on": "enumerate"})"),
     ": classes.C[0].P.on: expected 'value', got 'enumerate'"},
    {"PropertyFaultStatusText", WithValue(R"({"$error": "15"})"),
     ": classes.C[0].P.$error: expected an integer, got a string"},
    Value("PropertyFaultNoStatus", R"({"on": "value"})", "missing key '$error'"),
    Value("PropertyFaultMisspelt", R"({"$eror": 1})", "unknown key '$eror'"),
    Value("UInt8High", R"({"uint8": 256})", "value 256 does not fit uint8"),
    Value("SInt8Low", R"({"sint8": -129})", "value -129 does not fit sint8"),
    Value("UInt16High", R"({"uint16": 70000})", "value 70000 does not fit uint16"),
    Value("SInt16Low", R"({"sint16": -32769})", "value -32769 does not fit sint16"),
    Value("UInt32High", R"({"uint32": 4294967296})", "value 4294967296 does not fit uint32"),
    Value("SInt32High", R"({"sint32": 2147483648})", "value 2147483648 does not fit sint32"),
    Value("UInt64High", R"({"uint64": 18446744073709551616})",
          "value 18446744073709551616 does not fit uint64"),
    Value("UInt64Negative", R"({"uint64": -1})", "value -1 does not fit uint64"),
    Value("SInt64High", R"({"sint64": 9223372036854775808})",
          "value 9223372036854775808 does not fit sint64"),
    Value("Real32High", R"({"real32": -340282357000000000000000000000000000000})",
          "value -340282357000000000000000000000000000000 does not fit real32"),
    Value("IntegerGivenReal", R"({"uint8": 1.0})",
          "expected an integer for uint8, got a real number"),
    Value("IntegerGivenText", R"({"sint32": "1"})", "expected an integer for sint32, got a string"),
    Value("BooleanGivenInteger", R"({"boolean": 1})",
          "expected true or false for boolean, got an integer"),
    Value("RealGivenText", R"({"real64": "1.5"})", "expected a number for real64, got a string"),
    Value("StringGivenBoolean", R"({"string": false})",
          "expected a string for string, got a boolean"),
    Value("Char16Two", R"({"char16": "ab"})",
          "expected exactly one character for char16, got 'ab'"),
    Value("Char16Astral", R"({"char16": "\ud83d\ude00"})",
          "'\xF0\x9F\x98\x80' does not fit char16 (two UTF-16 code units)"),
    Value("DateTimeShort", R"({"datetime": "2026-12-06"})",
          "bad datetime '2026-12-06': expected 25 characters, got 10"),
    Value("DateTimeDot", R"({"datetime": "20261206083000,000000+060"})",
          "bad datetime '20261206083000,000000+060': expected '.' at offset 14"),
    Value("DateTimeSign", R"({"datetime": "20261206083000.000000 060"})",
          "bad datetime '20261206083000.000000 060': expected '+', '-' or ':' at offset 21"),
    Value("DateTimeDigit",
          "{\"datetime\": \"202612060830\xC3\xA9"
          "0.000000+060\"}",
          "bad datetime '202612060830\xC3\xA9"
          "0.000000+060': expected a digit or '*' at offset 12"),
    Value("DateTimeMicrosecondDigit", R"({"datetime": "20261206083000.00000x+060"})",
          "bad datetime '20261206083000.00000x+060': expected a digit or '*' at offset 20"),
    Value("DateTimeOffsetDigit", R"({"datetime": "20261206083000.000000+06x"})",
          "bad datetime '20261206083000.000000+06x': expected a digit or '*' at offset 24"),
    Top("AssociationsObject", R"("associations": {})",
        ": associations: expected an array of [id, id] pairs, got an object"),
    Top("DeepAssociations", R"("associations": )" + kDeepArrays,
        ": associations[0][0]: expected a string $id, got an array"),
    Pairs("PairOfThree", R"(["a", "b", "a"])",
          ": associations[0]: expected a pair of two $ids, got 3"),
    Pairs("PairUnknownId", R"(["a", "b"], ["b", "disk9"])",
          ": associations[1][1]: unknown $id 'disk9'"),
    Pairs("PairSelf", R"(["a", "a"])", ": associations[0]: associates 'a' with itself"),
    Pairs("PairRepeated", R"(["a", "b"], ["b", "a"])",
          ": associations[1]: duplicate association of 'b' and 'a' (first at associations[0])"),
    Top("CollectionArray", R"("collection": [])", ": collection: expected an object, got an array"),
    Top("CollectionNoTime", R"("collection": {"collector": "c", "version": "1"})",
        ": collection: missing key 'time'"),
    Top("CollectionHostNumber", R"("collection": {"host": 1})",
        ": collection.host: expected a string, got an integer"),
    Collected("CollectedUnknownKey", R"({"source": "s", "state": "read", "why": "?"})",
              ": collection.classes.X: unknown key 'why'"),
    Collected("CollectedState", R"({"source": "s", "state": "gone"})",
              ": collection.classes.X.state: expected 'read', 'absent', 'unreadable' or 'partial', "
              "got 'gone'"),
    Collected("CollectedUnreadable", R"({"source": "s", "state": "unreadable"})",
              ": collection.classes.X: missing key 'reason' (an unreadable class says why)"),
    Collected("CollectedPartial", R"({"source": "s", "state": "partial"})",
              ": collection.classes.X: missing key 'reason' (a class read in part says what was "
              "lost)"),
    Collected("CollectedTwice", R"({"source": "s", "state": "read"}, "X": {})",
              ": collection.classes: duplicate key 'X'"),
    // Control characters that escapes put into names show escaped; names,
    // texts and numbers show a bounded prefix.
    Top("ControlCharactersInAKey", R"("a\nb\t\u001b[31mred\u007f": 1)",
        R"(: top level: unknown key 'a\nb\t\u001B[31mred\u007F')"),
    Classes("ControlCharactersInAPath", R"("C\r\u0000": [{"\u0007": []}])",
            R"(: classes.C\r\u0000[0].\u0007: arrays are not supported as property values)"),
    Top("HugeKey", "\"\xC3\xA9" + kLong + "\": 1",
        ": top level: unknown key '\xC3\xA9" + kLong.substr(0, 78) + "...' (cut, 100002 bytes)"),
    Value("HugeNumber", R"({"uint8": )" + std::string(100000, '9') + "}",
          "value " + std::string(80, '9') + "... (cut, 100000 bytes) does not fit uint8"),
    Classes("HugePath", "\"" + kLong + "\": 1",
            ": classes." + kLong.substr(0, 80) +
                "... (cut, 100000 bytes): expected an array of instances or a fault object, got an "
                "integer")};

INSTANTIATE_TEST_SUITE_P(Loader, BadInventory, testing::ValuesIn(kBadCases), NTESTS::TCaseName());

struct TGoodValue {
  const char* name;
  std::string json;
  std::string typeAndText;  // the type code, then the text or "null"
  friend std::ostream& operator<<(std::ostream& out, const TGoodValue& c) { return out << c.name; }
};

class GoodValue : public testing::TestWithParam<TGoodValue> {};

// Each value through the stored form and back.
TEST_P(GoodValue, BecomesTypedValue) {
  const NQELZARN20::TCIMValue value =
      LoadInventoryText(WithValue(GetParam().json), "inv.json")->Properties(0).at(0).value;
  EXPECT_EQ(std::to_string(value.GetType()) + " " + (value.IsNull() ? "null" : value.ToString(10)),
            GetParam().typeAndText);
}

const std::vector<TGoodValue> kGoodValues = {
    {"Text", R"("tab\tquote\"e\u0301\u00e9")", "13 tab\tquote\"e\xCC\x81\xC3\xA9"},
    {"TextWithNul", R"("zelk\u0000412.sys")", "13 zelk"s + '\0' + "412.sys"},
    {"True", "true", "1 true"},
    {"Integer", "-9223372036854775808", "9 -9223372036854775808"},
    {"Real", "-2.5E-3", "11 -0.0025"},
    {"Null", "null", "0 null"},
    {"Boolean", R"({"boolean": false})", "1 false"},
    {"UInt8", R"({"uint8": 255})", "2 255"},
    {"SInt8", R"({"sint8": -128})", "3 -128"},
    {"UInt16", R"({"uint16": 65535})", "4 65535"},
    {"SInt16", R"({"sint16": -32768})", "5 -32768"},
    {"UInt32", R"({"uint32": 4294967295})", "6 4294967295"},
    {"SInt32", R"({"sint32": -2147483648})", "7 -2147483648"},
    {"UInt64", R"({"uint64": 18446744073709551615})", "8 18446744073709551615"},
    {"SInt64", R"({"sint64": 9223372036854775807})", "9 9223372036854775807"},
    {"Real32Largest", R"({"real32": 3.4028235e38})", "10 3.4028235e+38"},
    {"Real64FromInteger", R"({"real64": 99999999999999999999})", "11 1e+20"},
    {"Real64Exact", R"({"real64": 0.30000000000000004})", "11 0.30000000000000004"},
    {"Char16", R"({"char16": "\u20ac"})", "12 \xE2\x82\xAC"},
    {"String", R"({"string": "000123"})", "13 000123"},
    {"DateTime", R"({"datetime": "2026****083000.******-300"})", "14 2026****083000.******-300"},
    {"Interval", R"({"datetime": "00000001020304.000000:000"})", "14 00000001020304.000000:000"},
    {"TypedNull", R"({"uint16": null})", "4 null"},
};

INSTANTIATE_TEST_SUITE_P(Loader, GoodValue, testing::ValuesIn(kGoodValues), NTESTS::TCaseName());

// Classes, instances, faults and associations show through the repository
// and zarn validate; the collection record only here.
TEST(Loader, KeepsTheCollectionRecordAsWritten) {
  const boost::shared_ptr<TInventory> inventory = LoadInventoryText(
      "\xEF\xBB\xBF"
      R"({"classes": {}, "collection": {
        "time": "t", "version": "0.1.0", "collector": "zarn collect", "classes": {
          "Disk": {"source": "/sys/block", "state": "read"},
          "Log": {"state": "absent", "source": "the event log", "reason": "none here"},
          "Firmware": {"source": "the tool", "state": "unreadable", "reason": "no tool"}}}})",
      "inv.json");
  const NZARNCORE::TCollectionRecord& collection = *inventory->Collection();
  std::string written = collection.collector + " " + collection.version + " " + collection.time +
                        " [" + collection.host + "]";
  for (const NZARNCORE::TCollectedClass& c : collection.classes) {
    written += "; " + c.name + ": " + c.source + ", " + std::to_string(static_cast<int>(c.state)) +
               ", " + c.reason;
  }
  EXPECT_EQ(written,
            "zarn collect 0.1.0 t []; Disk: /sys/block, 0, ; Log: the event log, 1, none here; "
            "Firmware: the tool, 2, no tool");
  EXPECT_FALSE(LoadInventoryText(R"({"classes": {}})", "inv.json")->Collection());
}

// The parser is given a mebibyte at a time: every token, escape and
// multi-byte character cut in two, and the places of errors past the first
// piece.
TEST(Loader, ReadsTokensAcrossPieceBoundaries) {
  const TTempFile file;
  const std::string head = R"({"classes": {"C": [{"Pad": ")";
  const std::string tail =
      R"(", "K\u00e9y": "v\u00e9rt)"
      "\xC3\xA9"
      R"(", "N": -1234567, "R": 1.25e2, "T": {"uint16": 65535}, "S": "\ud83d\ude00"}]}})";
  const std::size_t piece = std::size_t(1) << 20;
  for (std::size_t cut = 0; cut < tail.size(); ++cut) {
    const std::string pad(piece - head.size() - cut, 'x');
    file.Write(head + pad + tail);
    std::string texts;
    for (const TInventory::TProperty& property : LoadInventoryFile(file.path)->Properties(0)) {
      texts += property.name + "=" + property.value.ToString(10).substr(0, 8) + " ";
    }
    EXPECT_EQ(
        texts,
        "Pad=xxxxxxxx K\xC3\xA9y=v\xC3\xA9rt\xC3\xA9 N=-1234567 R=125 T=65535 S=\xF0\x9F\x98\x80 ")
        << "cut " << cut;
    file.Write(head + pad.substr(0, pad.size() - 10) + R"(", "V": {"uint8": 1234567}}]}})");
    EXPECT_EQ(FileErrorOf(file.path),
              file.path + ": classes.C[0].V: value 1234567 does not fit uint8")
        << "cut " << cut;
  }
  std::string wide;
  for (std::size_t i = 0; i < 700000; ++i) wide += "\xC3\xA9";
  file.Write(head + wide + "\",\n  \"X\": 1,,");
  EXPECT_EQ(FileErrorOf(file.path), file.path + ":2:10: unexpected ','");
  for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
    file.Write(mark + head + wide + "\", \"\\ud800x");
    EXPECT_EQ(FileErrorOf(file.path), file.path +
                                          ":1:" + std::to_string(head.size() + 700000 + 11) +
                                          ": unpaired surrogate in a \\u escape")
        << "mark " << mark.size();
  }
}

// Tens of mebibytes, never held whole: many instances kept apart and in
// order (enough for storage made ready on another thread), one long text,
// and a syntax error far down that is still placed exactly.
TEST(Loader, LoadsAHugeFileWholeAndPlacesItsErrors) {
  const std::size_t instances = 500000;
  const std::size_t longText = std::size_t(48) << 20;
  const TTempFile file;
  {
    std::ofstream out(file.path, std::ios::binary);
    out << "{\"classes\": {\"QELSG_txDiskDrive\": [\n";
    for (std::size_t i = 0; i < instances; ++i) out << R"(  {"Number": )" << i << "},\n";
    out << "  {\"DeviceCode\": \"" << std::string(longText, 'x') << "\"}\n]}}\n";
  }
  const boost::shared_ptr<TInventory> inventory = LoadInventoryFile(file.path);
  ASSERT_EQ(inventory->InstanceCount(), instances + 1);
  for (std::size_t i = 0; i < instances; ++i) {
    ASSERT_EQ(inventory->Properties(i).at(0).value.ToString(10), std::to_string(i));
    ASSERT_EQ(inventory->IndexInClass(i), i);
  }
  EXPECT_EQ(inventory->Properties(instances).at(0).value.ToString(10).size(), longText);

  std::filesystem::resize_file(file.path, std::filesystem::file_size(file.path) - 5);
  std::ofstream(file.path, std::ios::binary | std::ios::app) << ",]}}\n";
  EXPECT_EQ(FileErrorOf(file.path), file.path + ":" + std::to_string(instances + 2) + ":" +
                                        std::to_string(longText + 22) + ": unexpected ']'");
}

// A file is read in pieces of a mebibyte: one that ends just before, on or
// just after a piece's end, whole or cut short, loads as its text does.
TEST(Loader, ReadsAFileToItsLastByteWhereverThePiecesEnd) {
  const std::size_t piece = std::size_t(1) << 20;
  const std::string frame = WithValue("\"\"");
  for (const std::size_t size : {piece - 1, piece, piece + 1, 2 * piece}) {
    const std::string text = WithValue("\"" + std::string(size - frame.size(), 'x') + "\"");
    const std::string cut = text.substr(0, text.size() - 1);
    for (const std::string& content : {text, cut}) {
      const TTempFile file;
      file.Write(content);
      const std::string expected = ErrorOf([&] { LoadInventoryText(content, file.path); });
      EXPECT_EQ(FileErrorOf(file.path), expected) << content.size() << " bytes";
      if (expected != "(loaded)") continue;
      EXPECT_EQ(LoadInventoryFile(file.path)->Properties(0).at(0).value.ToString(10),
                std::string(size - frame.size(), 'x'));
    }
  }
}

// What a load gives: every class and instance with its properties, or the
// error.
std::string Outcome(const std::function<boost::shared_ptr<TInventory>()>& load) {
  boost::shared_ptr<TInventory> inventory;
  const std::string error = ErrorOf([&] { inventory = load(); });
  if (!inventory) return error;
  std::string outcome;
  for (std::size_t c = 0; c < inventory->ClassCount(); ++c) {
    const TInventory::TClass& found = inventory->Class(c);
    outcome += found.name + " " + std::to_string(found.instances.size()) + " " +
               std::to_string(found.propertyFaults) + "\n";
  }
  for (std::size_t i = 0; i < inventory->InstanceCount(); ++i) {
    outcome += inventory->Label(i) + ":";
    for (const TInventory::TProperty& property : inventory->Properties(i)) {
      outcome += " " + property.name + "=" + property.value.ToString(10);
    }
    outcome += "\n";
  }
  return outcome;
}

// A log of the given records, the record at the given place replaced,
// between a class before it and associations after it.
std::string EventLog(std::size_t records, std::size_t at, const std::string& record) {
  std::string text = R"({"classes": {"D": [{"$id": "d1", "N": 1}, {"$id": "d2", "N": 2}],)"
                     "\n  \"L\": [\n";
  for (std::size_t i = 0; i < records; ++i) {
    text += i == at ? record
                    : R"(    {"EventID": {"uint32": )" + std::to_string(i % 70000) +
                          R"(}, "SourceName": "d\u00e9v", "Message": "Reset on \\Device\\Disk)" +
                          std::to_string(i) + R"(.", "Fault": {"$error": 4, "on": "value"}})";
    text += i + 1 < records ? ",\n" : "\n";
  }
  return text + "  ],\n  \"E\": [{\"N\": 3}]},\n  \"associations\": [[\"d1\", \"d2\"]]}\n";
}

// A large file has the second half of its largest array read on a second
// thread: it loads, and fails, exactly as its text does, also where that
// half holds what the thread cannot judge alone, or where the place it
// starts at lies in a string.
TEST(Loader, LoadsALargeFileInTwoHalvesAsItsText) {
  const std::size_t records = 90000;
  const std::size_t late = records * 9 / 10;
  std::string badPair = EventLog(records, records, "");
  badPair.replace(badPair.rfind("[["), 2, "[,");
  const std::string inString = R"({"classes": {"L": [{"Message": ")" + std::string(7 << 20, 'x') +
                               "}, {}]" + std::string(5 << 20, 'y') + "\"}]}}";
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"Whole", EventLog(records, records, "")},
      {"BadValueLate", EventLog(records, late, R"(    {"EventID": {"uint8": 300}})")},
      {"IdLate", EventLog(records, late, R"(    {"$id": "d1"})")},
      {"ArrayLate", EventLog(records, late, R"(    {"EventID": [1]})")},
      {"SyntaxErrorAfter", badPair},
      {"PlaceInAString", inString},
  };
  for (const auto& c : cases) {
    const TTempFile file;
    file.Write(c.text);
    EXPECT_EQ(Outcome([&] { return LoadInventoryFile(file.path); }),
              Outcome([&] { return LoadInventoryText(c.text, file.path); }))
        << c.name;
  }
}

// Storage shared with children is taken again only once the inventory that
// held it has ended: a child may still be reading an inventory its parent
// loaded while the parent loads the next.
TEST(Loader, InventoriesLoadedForChildrenKeepTheirStorage) {
  const auto text = [](char fill) { return WithValue('"' + std::string(100000, fill) + '"'); };
  const auto value = [](const boost::shared_ptr<TInventory>& inventory) {
    return inventory->Properties(0).at(0).value.ToString(10);
  };
  const NZARNCORE::TArena::TSharedWithChildren shared;
  boost::shared_ptr<TInventory> first = LoadInventoryText(text('a'), "a.json");
  const boost::shared_ptr<TInventory> second = LoadInventoryText(text('b'), "b.json");
  EXPECT_EQ(value(first), std::string(100000, 'a'));
  first.reset();
  const boost::shared_ptr<TInventory> third = LoadInventoryText(text('c'), "c.json");
  EXPECT_EQ(value(second), std::string(100000, 'b'));
  EXPECT_EQ(value(third), std::string(100000, 'c'));
}

TEST(Loader, NamesFileThatCannotBeRead) {
  const std::string missing = TTempFile().path;
  EXPECT_EQ(FileErrorOf(missing), missing + ": cannot read: no such file or directory");
  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(FileErrorOf(folder), folder + ": cannot read: is a directory");
}

#if !defined(_WIN32)
// An inventory rewritten in place while it is read: the load says so and
// the process lives on. Cut before it is opened, the file just ends early;
// cut after it was read, it loaded whole.
TEST(Loader, SaysWhenAFileIsCutShortWhileItIsRead) {
  const TTempFile file;
  file.Write(WithValue("\"" + std::string(std::size_t(96) << 20, 'x') + "\""));
  std::thread cutter([&file] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::filesystem::resize_file(file.path, (std::size_t(1) << 20) + 100);
  });
  const std::string error = FileErrorOf(file.path);
  cutter.join();
  const std::string cutShort =
      file.path + ": cannot read: the file was cut short while it was read";
  EXPECT_TRUE(error == cutShort || error == "(loaded)" ||
              error.find("unexpected end of input") != std::string::npos)
      << error;
}

// Whoever made a pipe may have left it non-blocking: a read that finds it
// empty waits for what is still to come.
TEST(Loader, WaitsOnAPipeLeftNonBlocking) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  fcntl(ends[0], F_SETFL, O_NONBLOCK);
  std::FILE* const reading = fdopen(ends[0], "rb");
  std::thread writer([&ends] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string text = "{\"classes\": {\"QELSG_X\": []}}";
    EXPECT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(ends[1]);
  });
  const auto inventory = NZARNCORE::LoadInventoryStream(reading, "standard input");
  writer.join();
  std::fclose(reading);
  EXPECT_EQ(inventory->ClassCount(), 1u);
}
#endif

std::string ProjectFile(const std::string& path) { return ReadFile(PROJECT_DIR "/" + path); }

// The matches refer into text, which must outlive them.
std::vector<std::smatch> Matches(const std::string& text, const std::string& pattern) {
  const std::regex expression(pattern);
  return {std::sregex_iterator(text.begin(), text.end(), expression), std::sregex_iterator()};
}

// Every JSON block of the format document is the example file linked before
// it, and loads or fails as the "Loading it stops with" block after it says.
TEST(Loader, FormatDocumentShowsItsExamplesAsTheyLoad) {
  const std::string document = ProjectFile("docs/inventory-format.md");
  const std::vector<std::smatch> examples =
      Matches(document, R"(\]\((examples/[^)]+)\)[^\]]*?```json\n([^`]*)```\n\n)"
                        R"((Loading it stops with:\n\n```text\n(.*)\n)?)");
  EXPECT_EQ(examples.size(), Matches(document, "```json").size()) << "a block without its file";
  EXPECT_GE(examples.size(), 9u);
  for (const std::smatch& example : examples) {
    const std::string file = "docs/" + example[1].str();
    EXPECT_EQ(ProjectFile(file), example[2].str()) << file;
    EXPECT_EQ(FileErrorOf(PROJECT_DIR "/" + file),
              example[3].matched ? PROJECT_DIR "/" + example[4].str() : "(loaded)");
  }
}

// The JSON in the document's tables is taken from its examples, and each
// message of its list is one that a case above expects.
TEST(Loader, FormatDocumentTablesQuoteExamplesAndRealMessages) {
  std::string examples;
  for (const auto& entry : std::filesystem::directory_iterator(PROJECT_DIR "/docs/examples")) {
    examples += ReadFile(entry.path().string());
  }
  const std::string document = ProjectFile("docs/inventory-format.md");
  for (const std::smatch& json : Matches(document, R"(\| `([{[][^`]*)`)")) {
    EXPECT_NE(examples.find(json[1].str()), std::string::npos) << json[1];
  }
  const std::size_t start = document.find("| Message");
  const std::string list = document.substr(start, document.find("\n\n", start) - start);
  const std::vector<std::smatch> messages = Matches(list, R"(\n\| `([^`]+)` \|)");
  EXPECT_GE(messages.size(), 20u);
  for (const std::smatch& message : messages) {
    const std::string ending = ": " + message[1].str();
    EXPECT_TRUE(std::any_of(kBadCases.begin(), kBadCases.end(), [&](const TBadCase& row) {
      return row.error.size() >= ending.size() &&
             row.error.compare(row.error.size() - ending.size(), ending.size(), ending) == 0;
    })) << ending;
  }
}

}  // namespace
