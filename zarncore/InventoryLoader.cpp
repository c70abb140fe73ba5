#include "zarncore/InventoryLoader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <istream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>

#include "zarncore/JsonReader.h"
#include "zarncore/PropertyWriter.h"

namespace NZARNCORE {

namespace {

// Names and texts from the file may hold any character that JSON can
// escape. A message shows control characters escaped, so that it stays one
// line and cannot drive the terminal that prints it.
std::string Printable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string printable;
  printable.reserve(text.size());
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      printable += c;
    } else if (c == '\n') {
      printable += "\\n";
    } else if (c == '\t') {
      printable += "\\t";
    } else if (c == '\r') {
      printable += "\\r";
    } else {
      printable += std::string("\\u00") + kHex[byte >> 4] + kHex[byte & 15];
    }
  }
  return printable;
}

}  // namespace

TInventoryError::TInventoryError(const std::string& what) : std::runtime_error(Printable(what)) {}

TInventoryError::~TInventoryError() = default;

namespace {

// Doubles below this magnitude round to a finite float.
constexpr double kReal32Limit = 0x1.ffffffp127;

std::string ReadFailure(const std::string& path, int error) {
  std::string reason = std::generic_category().message(error);
  if (!reason.empty()) {
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  }
  return path + ": cannot read: " + reason;
}

enum class EValueKind { String, Integer, Real, Boolean, Null, Object, Array };

std::string KindText(EValueKind kind) {
  switch (kind) {
    case EValueKind::String:
      return "a string";
    case EValueKind::Integer:
      return "an integer";
    case EValueKind::Real:
      return "a real number";
    case EValueKind::Boolean:
      return "a boolean";
    case EValueKind::Null:
      return "null";
    case EValueKind::Object:
      return "an object";
    case EValueKind::Array:
      break;
  }
  return "an array";
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A typed value's key: the CIM type and the JSON values it takes (strings,
// integers, numbers or booleans), with the range of the integer types.
struct TTypeForm {
  std::string_view name;
  ECIMType type;
  EValueKind accepts;
  std::int64_t min;
  std::uint64_t max;
};

// In type code order: kTypeForms[code - 1].
constexpr TTypeForm kTypeForms[] = {
    {"boolean", NQELZARN20::eCIMTypeBoolean, EValueKind::Boolean, 0, 0},
    {"uint8", NQELZARN20::eCIMTypeUInt8, EValueKind::Integer, 0, UINT8_MAX},
    {"sint8", NQELZARN20::eCIMTypeSInt8, EValueKind::Integer, INT8_MIN, INT8_MAX},
    {"uint16", NQELZARN20::eCIMTypeUInt16, EValueKind::Integer, 0, UINT16_MAX},
    {"sint16", NQELZARN20::eCIMTypeSInt16, EValueKind::Integer, INT16_MIN, INT16_MAX},
    {"uint32", NQELZARN20::eCIMTypeUInt32, EValueKind::Integer, 0, UINT32_MAX},
    {"sint32", NQELZARN20::eCIMTypeSInt32, EValueKind::Integer, INT32_MIN, INT32_MAX},
    {"uint64", NQELZARN20::eCIMTypeUInt64, EValueKind::Integer, 0, UINT64_MAX},
    {"sint64", NQELZARN20::eCIMTypeSInt64, EValueKind::Integer, INT64_MIN, INT64_MAX},
    {"real32", NQELZARN20::eCIMTypeReal32, EValueKind::Real, 0, 0},
    {"real64", NQELZARN20::eCIMTypeReal64, EValueKind::Real, 0, 0},
    {"char16", NQELZARN20::eCIMTypeChar16, EValueKind::String, 0, 0},
    {"string", NQELZARN20::eCIMTypeString, EValueKind::String, 0, 0},
    {"datetime", NQELZARN20::eCIMTypeDateTime, EValueKind::String, 0, 0},
};

const TTypeForm& Form(ECIMType type) { return kTypeForms[type - 1]; }

// Whether a and b hold the same size bytes; quicker than memcmp for the
// short names of an inventory.
bool SameBytes(const char* a, const char* b, std::size_t size) {
  const auto word = [](const char* p, std::size_t bytes) {
    std::uint64_t value = 0;
    std::memcpy(&value, p, bytes);
    return value;
  };
  if (size >= 8 && size <= 16) {
    return word(a, 8) == word(b, 8) && word(a + size - 8, 8) == word(b + size - 8, 8);
  }
  if (size >= 4 && size < 8) {
    return word(a, 4) == word(b, 4) && word(a + size - 4, 4) == word(b + size - 4, 4);
  }
  return std::memcmp(a, b, size) == 0;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && SameBytes(a.data(), b.data(), a.size());
}

// The type names differ in their first and last letters together.
const TTypeForm* FindForm(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const TTypeForm& form : kTypeForms) {
    if (form.name.front() == name.front() && form.name.back() == name.back() &&
        SameText(form.name, name)) {
      return &form;
    }
  }
  return nullptr;
}

std::string UnknownTypeMessage(std::string_view name) {
  std::string message = "unknown type " + Quoted(name) + " (expected one of ";
  for (const TTypeForm& form : kTypeForms) {
    if (&form != kTypeForms) message += ", ";
    message += form.name;
  }
  return message + ")";
}

std::string AcceptedText(const TTypeForm& form) {
  switch (form.accepts) {
    case EValueKind::Boolean:
      return "true or false";
    case EValueKind::Integer:
      return "an integer";
    case EValueKind::Real:
      return "a number";
    default:
      return "a string";
  }
}

// A JSON integer as written, with its value where it fits 64 bits and the
// nearest double for the real types.
struct TInteger {
  std::string_view text;
  double real;
  bool inInt64;
  bool inUInt64;
  std::int64_t asInt64;
  std::uint64_t asUInt64;
};

bool Fits(const TTypeForm& form, const TInteger& number) {
  if (form.min < 0) {
    return number.inInt64 && number.asInt64 >= form.min &&
           number.asInt64 <= static_cast<std::int64_t>(form.max);
  }
  return number.inUInt64 && number.asUInt64 <= form.max;
}

bool FitsReal(const TTypeForm& form, double number) {
  if (form.type == NQELZARN20::eCIMTypeReal64) return std::isfinite(number);
  return std::fabs(number) < kReal32Limit;
}

std::size_t CharacterCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char byte) { return (byte & 0xC0) != 0x80; }));
}

// Why text is no char16, or empty: one character of one UTF-16 code unit.
std::string Char16Problem(std::string_view text) {
  if (CharacterCount(text) != 1) {
    return "expected exactly one character for char16, got " + Quoted(text);
  }
  if (text.size() == 4) return Quoted(text) + " does not fit char16 (two UTF-16 code units)";
  return std::string();
}

bool IsDateTimeDigit(char c) { return (c >= '0' && c <= '9') || c == '*'; }

#if defined(ZARN_SSE2)
// A bit for each of the sixteen bytes at p that is a digit or a '*'.
unsigned DateTimeDigits(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('0' - 1)),
                                      _mm_cmplt_epi8(bytes, _mm_set1_epi8('9' + 1)));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(digit, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('*')))));
}
#endif

// Whether text has the form of a CIM datetime; DateTimeProblem says why not.
bool IsDateTime(std::string_view text) {
  if (text.size() != 25 || text[14] != '.') return false;
  if (text[21] != '+' && text[21] != '-' && text[21] != ':') return false;
#if defined(ZARN_SSE2)
  // Offsets 0 to 15, then 9 to 24; the '.' and the sign are checked above.
  return (DateTimeDigits(text.data()) | 1u << 14) == 0xFFFF &&
         (DateTimeDigits(text.data() + 9) | 1u << (14 - 9) | 1u << (21 - 9)) == 0xFFFF;
#else
  for (std::size_t offset = 0; offset < text.size(); ++offset) {
    if (offset != 14 && offset != 21 && !IsDateTimeDigit(text[offset])) return false;
  }
  return true;
#endif
}

// Why text is no CIM datetime, or empty: yyyymmddhhmmss.mmmmmm then the UTC
// offset in minutes with its sign, or ddddddddhhmmss.mmmmmm:000 for an
// interval; '*' stands for a digit that is not known.
std::string DateTimeProblem(std::string_view text) {
  const auto problem = [&](const std::string& what) {
    return "bad datetime " + Quoted(text) + ": " + what;
  };
  if (text.size() != 25)
    return problem("expected 25 characters, got " + std::to_string(text.size()));
  if (text[14] != '.') return problem("expected '.' at offset 14");
  const char sign = text[21];
  if (sign != '+' && sign != '-' && sign != ':') {
    return problem("expected '+', '-' or ':' at offset 21");
  }
  for (std::size_t offset = 0; offset < text.size(); ++offset) {
    if (offset != 14 && offset != 21 && !IsDateTimeDigit(text[offset])) {
      return problem("expected a digit or '*' at offset " + std::to_string(offset));
    }
  }
  return std::string();
}

// Which part of the inventory a value fills.
enum class ESlot {
  Document,
  Format,
  OsType,
  Classes,
  Associations,
  Class,
  Instance,
  Id,
  Property,
  Typed,
  FaultStatus,
  FaultOn,
  Pair,
  PairId,
  Collection,
  RecordText,
  CollectedClasses,
  CollectedClass,
  State
};

enum class EContainer {
  Top,
  Classes,
  Instances,
  Instance,
  ValueObject,
  Fault,
  Associations,
  Pair,
  Record
};

struct TTopKey {
  std::string_view name;
  ESlot slot;
};

constexpr TTopKey kTopKeys[] = {{"format", ESlot::Format},
                                {"operatingSystemType", ESlot::OsType},
                                {"classes", ESlot::Classes},
                                {"associations", ESlot::Associations},
                                {"collection", ESlot::Collection}};
constexpr unsigned kClassesSeen = 1u << 2;  // the bit of kTopKeys[2]

// Keys of an instance or fault object that may appear once.
constexpr unsigned kIdSeen = 1;
constexpr unsigned kStatusSeen = 1;
constexpr unsigned kPointSeen = 2;

constexpr std::string_view kIdKey = "$id";
constexpr std::string_view kStatusKey = "$error";
constexpr std::string_view kPointKey = "on";

// The keys of the collection record and of each of its classes, in the
// order of their k...Seen bits; required unless marked.
struct TRecordKey {
  std::string_view name;
  bool required;
};
constexpr TRecordKey kRecordKeys[] = {
    {"collector", true}, {"version", true}, {"host", false}, {"time", true}, {"classes", true}};
constexpr unsigned kRecordClassesSeen = 1u << 4;
constexpr TRecordKey kCollectedClassKeys[] = {{"source", true}, {"state", true}, {"reason", false}};
constexpr unsigned kReasonSeen = 1u << 2;

struct TStateName {
  std::string_view name;
  ECollectionState state;
};
constexpr TStateName kStateNames[] = {{"read", ECollectionState::Read},
                                      {"absent", ECollectionState::Absent},
                                      {"unreadable", ECollectionState::Unreadable}};

// The 'on' value of a fault in this place; empty where faults have none.
std::string_view FaultPoint(ESlot owner) {
  if (owner == ESlot::Class) return "enumerate";
  if (owner == ESlot::Property) return "value";
  return std::string_view();
}

// An open object or array, for the paths of error messages. Keys point to
// storage that outlives the frame.
struct TFrame {
  EContainer container;
  std::string_view key;    // the current key of an object
  std::size_t count;       // keys of an object, elements of an array so far
  unsigned seen;           // k...Seen bits
  ESlot owner;             // what a fault object stands in for
  const TTypeForm* form;   // of a typed value
  TZARNStatusCode status;  // of a fault
};

struct TIndexPairHash {
  std::size_t operator()(const std::pair<std::size_t, std::size_t>& pair) const {
    return std::hash<std::size_t>()(pair.first) * 31 + pair.second;
  }
};

// A JSON integer with its value where it fits 64 bits, and the nearest
// double for the real types.
TInteger IntegerOf(const TJsonNumber& number) {
  if (!number.fits) return TInteger{number.text, number.Real(), false, false, 0, 0};
  if (number.negative) {
    const auto value = static_cast<std::int64_t>(0 - number.magnitude);
    return TInteger{number.text, static_cast<double>(value),       true, number.magnitude == 0,
                    value,       static_cast<std::uint64_t>(value)};
  }
  return TInteger{number.text,
                  static_cast<double>(number.magnitude),
                  number.magnitude <= static_cast<std::uint64_t>(INT64_MAX),
                  true,
                  static_cast<std::int64_t>(number.magnitude),
                  number.magnitude};
}

// Reads the inventory's JSON text and builds the inventory from it. Every
// problem throws TInventoryError with the JSON path of the place.
class TParser {
 public:
  TParser(const std::string& source, IByteSource& input, TInventory& inventory)
      : m_source(source), m_in(source, input), m_inventory(inventory) {}

  void ParseDocument();
  void ResolveAssociations();

 private:
  TFrame& Top() { return m_frames[m_depth - 1]; }
  TFrame& Push(EContainer container);
  void Pop() { --m_depth; }

  std::string Path(std::size_t frames) const;
  [[noreturn]] void Fail(std::size_t frames, const std::string& message) const;
  // Problems of the value now read, and of the open object or array itself.
  [[noreturn]] void FailAtValue(const std::string& message) const { Fail(m_depth, message); }
  [[noreturn]] void FailAtContainer(const std::string& message) const {
    Fail(m_depth - 1, message);
  }
  [[noreturn]] void Unexpected(ESlot slot, EValueKind got);
  // The value that comes next does not belong in the slot: reads it and
  // says what it is.
  [[noreturn]] void WrongValue(ESlot slot);
  std::string UnexpectedMessage(ESlot slot, const std::string& got);

  std::string_view Key();
  bool NextKey(std::string_view& key);
  void Once(TFrame& frame, unsigned bit, std::string_view key);

  void ParseTop();
  void TopValue(ESlot slot);
  void ParseFormat();
  void ParseOsType();
  void ParseClasses();
  void ParseClass();
  void ParseInstances(std::size_t classIndex);
  void ParseInstance(std::size_t classIndex);
  TInventory::TNameId PropertyName(std::size_t classIndex, std::size_t position,
                                   std::string_view key);
  void ParseId(TInventory::TInstanceIndex instance);
  void ParseProperty(TInventory::TNameId name);
  void ParseValueObject(TInventory::TNameId name);
  void ParseTyped(TInventory::TNameId name, const TTypeForm& form);
  void ParseFault(TFrame& frame, std::string_view key);
  void FaultKey(TFrame& frame, std::string_view key);
  void ParseAssociations();
  void ParsePair();
  void ParseCollection();
  void ParseCollectedClasses(std::vector<TCollectedClass>& classes);
  void ParseCollectedClass(TCollectedClass& collected);
  ECollectionState ParseState();
  std::string RecordText();
  // The key's place in keys, marked seen in the open object; a located
  // error for a key that is not there.
  template <std::size_t N>
  std::size_t RecordKey(const TRecordKey (&keys)[N], std::string_view key);
  template <std::size_t N>
  void CheckRequired(const TRecordKey (&keys)[N]);

  TZARNStatusCode FaultStatus();
  std::int64_t CheckedInteger(ECIMType type, const TInteger& number);
  double CheckedReal(const TTypeForm& form, double number, std::string_view text);
  void CheckText(const std::string& problem) const;
  void AddInteger(TInventory::TNameId name, const TTypeForm& form, const TInteger& number);

  TInventory::TInstanceIndex ResolvePairEnd(std::size_t pair, int end) const;
  std::string InstancePath(TInventory::TInstanceIndex index) const;

  const std::string& m_source;
  TJsonReader m_in;
  TInventory& m_inventory;
  TFrame m_frames[6];  // the format nests five deep, and a fault's owner one more
  std::size_t m_depth = 0;
  std::string m_className;
  // The property names of the last instance of each class, in order: the
  // next instance most likely has the same.
  struct TShapeName {
    TInventory::TNameId id;
    std::string_view name;
  };
  std::vector<std::vector<TShapeName>> m_shapes;
  // The properties of the instance being read.
  TPropertyWriter m_properties;
  // Per property name, the last instance (plus one) that had it.
  std::vector<std::uint32_t> m_lastHolder;
  std::vector<std::pair<std::string, std::string>> m_pairs;
};

TFrame& TParser::Push(EContainer container) {
  TFrame& frame = m_frames[m_depth++];
  frame = TFrame{container, std::string_view(), 0, 0, ESlot::Document, nullptr, 0};
  return frame;
}

// The path through the first frames: classes.X[0].Name. A typed value's
// own key is left out, as it belongs to its property.
std::string TParser::Path(std::size_t frames) const {
  std::string path;
  for (std::size_t i = 0; i < frames; ++i) {
    const TFrame& frame = m_frames[i];
    if (frame.container == EContainer::Instances || frame.container == EContainer::Associations ||
        frame.container == EContainer::Pair) {
      path += "[" + std::to_string(frame.count - 1) + "]";
    } else if (frame.container != EContainer::ValueObject) {
      if (!path.empty()) path += '.';
      path += frame.key;
    }
  }
  return path.empty() ? "top level" : path;
}

void TParser::Fail(std::size_t frames, const std::string& message) const {
  throw TInventoryError(m_source + ": " + Path(frames) + ": " + message);
}

void TParser::Unexpected(ESlot slot, EValueKind got) {
  FailAtValue(UnexpectedMessage(slot, ", got " + KindText(got)));
}

void TParser::WrongValue(ESlot slot) {
  switch (m_in.Peek()) {
    case '{':
      Unexpected(slot, EValueKind::Object);
    case '[':
      Unexpected(slot, EValueKind::Array);
    case '"':
      m_in.String();
      Unexpected(slot, EValueKind::String);
    case 't':
    case 'f':
    case 'n':
      Unexpected(slot,
                 m_in.Literal() == TJsonReader::eNull ? EValueKind::Null : EValueKind::Boolean);
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
      Unexpected(slot, m_in.Number().integer ? EValueKind::Integer : EValueKind::Real);
    default:
      m_in.Unexpected();
  }
}

std::string TParser::UnexpectedMessage(ESlot slot, const std::string& got) {
  switch (slot) {
    case ESlot::Document:
      return "expected an object" + got;
    case ESlot::Format:
      return "expected the integer 1" + got;
    case ESlot::OsType:
      return "expected an integer or a fault object" + got;
    case ESlot::Classes:
      return "expected an object of classes" + got;
    case ESlot::Associations:
      return "expected an array of [id, id] pairs" + got;
    case ESlot::Class:
      return "expected an array of instances or a fault object" + got;
    case ESlot::Instance:
      return "expected an instance object" + got;
    case ESlot::Id:
      return "expected a string" + got;
    case ESlot::Typed:
      return "expected " + AcceptedText(*Top().form) + " for " + std::string(Top().form->name) +
             got;
    case ESlot::FaultStatus:
      return "expected an integer" + got;
    case ESlot::FaultOn:
      return "expected " + Quoted(FaultPoint(Top().owner)) + got;
    case ESlot::Pair:
      return "expected an [id, id] pair" + got;
    case ESlot::PairId:
      return "expected a string $id" + got;
    case ESlot::Collection:
    case ESlot::CollectedClass:
      return "expected an object" + got;
    case ESlot::RecordText:
      return "expected a string" + got;
    case ESlot::CollectedClasses:
      return "expected an object of classes" + got;
    case ESlot::State:
      return "expected 'read', 'absent' or 'unreadable'" + got;
    case ESlot::Property:
      break;
  }
  // A property takes every other kind of value.
  return "arrays are not supported as property values";
}

// The key at the start of an object's member, before its colon.
std::string_view TParser::Key() {
  if (m_in.Peek() != '"') m_in.Unexpected();
  ++Top().count;
  return m_in.String();
}

// After a member: the next key, or false at the end of the object.
bool TParser::NextKey(std::string_view& key) {
  if (!m_in.Take(',')) {
    m_in.Expect('}');
    return false;
  }
  key = Key();
  return true;
}

void TParser::Once(TFrame& frame, unsigned bit, std::string_view key) {
  if (frame.seen & bit) FailAtContainer("duplicate key " + Quoted(key));
  frame.seen |= bit;
  frame.key = key;
}

void TParser::ParseDocument() {
  const int next = m_in.Peek();
  if (next == TJsonReader::kEnd) m_in.FailAtEnd("empty input");
  if (next != '{') WrongValue(ESlot::Document);
  ParseTop();
  if (m_in.Peek() != TJsonReader::kEnd)
    m_in.FailOnNext("unexpected data after the top-level object");
}

void TParser::ParseTop() {
  m_in.Skip();
  TFrame& frame = Push(EContainer::Top);
  if (!m_in.Take('}')) {
    std::string_view key = Key();
    do {
      const auto found = std::find_if(std::begin(kTopKeys), std::end(kTopKeys),
                                      [&](const TTopKey& top) { return top.name == key; });
      if (found == std::end(kTopKeys)) FailAtContainer("unknown key " + Quoted(key));
      Once(frame, 1u << (found - std::begin(kTopKeys)), found->name);
      m_in.Expect(':');
      TopValue(found->slot);
    } while (NextKey(key));
  }
  if (!(frame.seen & kClassesSeen)) FailAtContainer("missing key 'classes'");
  Pop();
}

void TParser::TopValue(ESlot slot) {
  switch (slot) {
    case ESlot::Format:
      return ParseFormat();
    case ESlot::OsType:
      return ParseOsType();
    case ESlot::Classes:
      return ParseClasses();
    case ESlot::Collection:
      return ParseCollection();
    default:
      return ParseAssociations();
  }
}

void TParser::ParseFormat() {
  const int next = m_in.Peek();
  if (next != '-' && (next < '0' || next > '9')) WrongValue(ESlot::Format);
  const TJsonNumber number = m_in.Number();
  if (!number.integer) Unexpected(ESlot::Format, EValueKind::Real);
  const TInteger integer = IntegerOf(number);
  if (!integer.inInt64 || integer.asInt64 != 1) {
    FailAtValue("unsupported format " + std::string(integer.text) + " (expected 1)");
  }
}

void TParser::ParseOsType() {
  const int next = m_in.Peek();
  if (next == '{') {
    m_in.Skip();
    TFrame& fault = Push(EContainer::Fault);
    fault.owner = ESlot::OsType;
    if (m_in.Take('}')) FailAtContainer("missing key '$error'");
    ParseFault(fault, Key());
    m_inventory.SetOperatingSystemTypeFault(fault.status);
    return Pop();
  }
  if (next != '-' && (next < '0' || next > '9')) WrongValue(ESlot::OsType);
  const TJsonNumber number = m_in.Number();
  if (!number.integer) Unexpected(ESlot::OsType, EValueKind::Real);
  m_inventory.SetOperatingSystemType(
      static_cast<std::uint16_t>(CheckedInteger(NQELZARN20::eCIMTypeUInt16, IntegerOf(number))));
}

void TParser::ParseClasses() {
  if (m_in.Peek() != '{') WrongValue(ESlot::Classes);
  m_in.Skip();
  TFrame& frame = Push(EContainer::Classes);
  if (!m_in.Take('}')) {
    std::string_view key = Key();
    do {
      if (key.empty()) FailAtContainer("empty class name");
      m_className.assign(key.data(), key.size());
      frame.key = m_className;
      if (m_inventory.FindClass(m_className)) FailAtContainer("duplicate key " + Quoted(key));
      m_in.Expect(':');
      ParseClass();
    } while (NextKey(key));
  }
  Pop();
}

void TParser::ParseClass() {
  const int next = m_in.Peek();
  if (next == '[') {
    m_in.Skip();
    return ParseInstances(m_inventory.AddClass(m_className));
  }
  if (next != '{') WrongValue(ESlot::Class);
  m_in.Skip();
  TFrame& fault = Push(EContainer::Fault);
  fault.owner = ESlot::Class;
  if (m_in.Take('}')) FailAtContainer("missing key '$error'");
  ParseFault(fault, Key());
  m_inventory.AddClassFault(m_className,
                            fault.seen & kPointSeen ? EClassFault::Enumerate : EClassFault::Lookup,
                            fault.status);
  Pop();
}

void TParser::ParseInstances(std::size_t classIndex) {
  m_shapes.resize(std::max(m_shapes.size(), classIndex + 1));
  TFrame& frame = Push(EContainer::Instances);
  if (!m_in.Take(']')) {
    do {
      ++frame.count;
      if (m_in.Peek() != '{') WrongValue(ESlot::Instance);
      ParseInstance(classIndex);
    } while (m_in.Take(','));
    m_in.Expect(']');
  }
  Pop();
}

void TParser::ParseInstance(std::size_t classIndex) {
  if (m_inventory.InstanceCount() == TInventory::kMaxInstances) {
    FailAtValue("too many instances (" + std::to_string(TInventory::kMaxInstances) + " at most)");
  }
  m_in.Skip();
  const TInventory::TInstanceIndex instance = m_inventory.AddInstance(classIndex, std::string());
  TFrame& frame = Push(EContainer::Instance);
  if (m_in.Take('}')) return Pop();
  m_properties.Clear();
  std::string_view key = Key();
  std::size_t position = 0;
  do {
    if (key == kIdKey) {
      Once(frame, kIdSeen, kIdKey);
      m_in.Expect(':');
      ParseId(instance);
      continue;
    }
    if (!key.empty() && key[0] == '$') FailAtContainer("unknown key " + Quoted(key));
    const TInventory::TNameId name = PropertyName(classIndex, position++, key);
    if (m_lastHolder[name] == instance + 1) FailAtContainer("duplicate key " + Quoted(key));
    m_lastHolder[name] = static_cast<std::uint32_t>(instance + 1);
    frame.key = m_shapes[classIndex][position - 1].name;
    m_in.Expect(':');
    ParseProperty(name);
  } while (NextKey(key));
  if (m_properties.Size() > TInventory::kMaxPropertyBytes) {
    FailAtContainer("an instance's properties take more than 4 GiB");
  }
  m_inventory.AddProperties(instance, m_properties);
  Pop();
}

// The interned name of the key at this position among an instance's
// properties; the instances of a class mostly list the same names in the
// same order.
TInventory::TNameId TParser::PropertyName(std::size_t classIndex, std::size_t position,
                                          std::string_view key) {
  std::vector<TShapeName>& shape = m_shapes[classIndex];
  if (position < shape.size() && SameText(shape[position].name, key)) return shape[position].id;
  const TInventory::TNameId name = m_inventory.InternName(key);
  if (position >= shape.size()) shape.resize(position + 1);
  shape[position] = TShapeName{name, m_inventory.Name(name)};
  if (name >= m_lastHolder.size()) m_lastHolder.resize(name + 1, 0);
  return name;
}

void TParser::ParseId(TInventory::TInstanceIndex instance) {
  if (m_in.Peek() != '"') WrongValue(ESlot::Id);
  const std::string_view id = m_in.String();
  if (id.empty()) FailAtValue("empty $id");
  const boost::optional<TInventory::TInstanceIndex> first = m_inventory.FindInstanceById(id);
  if (first) {
    FailAtValue("duplicate $id " + Quoted(id) + " (first at " + InstancePath(*first) + ")");
  }
  m_inventory.SetInstanceId(instance, id);
}

void TParser::ParseProperty(TInventory::TNameId name) {
  switch (m_in.Peek()) {
    case '"':
      return m_properties.Text(name, NQELZARN20::eCIMTypeString, m_in.String());
    case '{':
      return ParseValueObject(name);
    case 't':
    case 'f':
    case 'n': {
      const TJsonReader::ELiteral literal = m_in.Literal();
      if (literal == TJsonReader::eNull) return m_properties.Null(name, ECIMType());
      return m_properties.Boolean(name, literal == TJsonReader::eTrue);
    }
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9': {
      const TJsonNumber number = m_in.Number();
      if (number.integer) {
        return AddInteger(name, Form(NQELZARN20::eCIMTypeSInt64), IntegerOf(number));
      }
      const TTypeForm& form = Form(NQELZARN20::eCIMTypeReal64);
      return m_properties.Real(name, form.type, CheckedReal(form, number.Real(), number.text));
    }
    default:
      WrongValue(ESlot::Property);
  }
}

// A typed value or a fault: the first key tells which.
void TParser::ParseValueObject(TInventory::TNameId name) {
  m_in.Skip();
  TFrame& frame = Push(EContainer::ValueObject);
  if (m_in.Take('}')) FailAtContainer("empty object (expected a typed value or a fault object)");
  std::string_view key = Key();
  if ((!key.empty() && key[0] == '$') || key == kPointKey) {
    frame.container = EContainer::Fault;
    frame.owner = ESlot::Property;
    ParseFault(frame, key);
    m_properties.Fault(
        name,
        frame.seen & kPointSeen ? TPropertyWriter::eValueFault : TPropertyWriter::eLookupFault,
        frame.status);
    return Pop();
  }
  frame.form = FindForm(key);
  if (!frame.form) FailAtContainer(UnknownTypeMessage(key));
  frame.key = frame.form->name;
  m_in.Expect(':');
  ParseTyped(name, *frame.form);
  if (NextKey(key)) {
    FailAtContainer("unexpected key " + Quoted(key) + " (a typed value has exactly one key)");
  }
  Pop();
}

void TParser::ParseTyped(TInventory::TNameId name, const TTypeForm& form) {
  const int next = m_in.Peek();
  if (next == '"') {
    const std::string_view text = m_in.String();
    if (form.accepts != EValueKind::String) Unexpected(ESlot::Typed, EValueKind::String);
    if (form.type == NQELZARN20::eCIMTypeChar16) CheckText(Char16Problem(text));
    if (form.type == NQELZARN20::eCIMTypeDateTime && !IsDateTime(text)) {
      FailAtValue(DateTimeProblem(text));
    }
    return m_properties.Text(name, form.type, text);
  }
  if (next == '-' || (next >= '0' && next <= '9')) {
    const TJsonNumber number = m_in.Number();
    if (form.accepts == EValueKind::Real) {
      return m_properties.Real(name, form.type, CheckedReal(form, number.Real(), number.text));
    }
    if (form.accepts != EValueKind::Integer) {
      Unexpected(ESlot::Typed, number.integer ? EValueKind::Integer : EValueKind::Real);
    }
    if (!number.integer) Unexpected(ESlot::Typed, EValueKind::Real);
    return AddInteger(name, form, IntegerOf(number));
  }
  if (next == 't' || next == 'f') {
    const bool flag = m_in.Literal() == TJsonReader::eTrue;
    if (form.accepts != EValueKind::Boolean) Unexpected(ESlot::Typed, EValueKind::Boolean);
    return m_properties.Boolean(name, flag);
  }
  if (next == 'n') {
    m_in.Literal();
    return m_properties.Null(name, form.type);
  }
  WrongValue(ESlot::Typed);
}

// The members of a fault object from its first key, up to its closing brace.
void TParser::ParseFault(TFrame& frame, std::string_view key) {
  do {
    FaultKey(frame, key);
    m_in.Expect(':');
    if (frame.key == kStatusKey) {
      frame.status = FaultStatus();
      continue;
    }
    if (m_in.Peek() != '"') WrongValue(ESlot::FaultOn);
    const std::string_view point = m_in.String();
    const std::string_view expected = FaultPoint(frame.owner);
    if (point != expected) FailAtValue("expected " + Quoted(expected) + ", got " + Quoted(point));
  } while (NextKey(key));
  if (!(frame.seen & kStatusSeen)) FailAtContainer("missing key '$error'");
}

void TParser::FaultKey(TFrame& frame, std::string_view key) {
  if (key == kStatusKey) return Once(frame, kStatusSeen, kStatusKey);
  if (key == kPointKey && !FaultPoint(frame.owner).empty())
    return Once(frame, kPointSeen, kPointKey);
  FailAtContainer("unknown key " + Quoted(key));
}

TZARNStatusCode TParser::FaultStatus() {
  const int next = m_in.Peek();
  if (next != '-' && (next < '0' || next > '9')) WrongValue(ESlot::FaultStatus);
  const TJsonNumber number = m_in.Number();
  if (!number.integer) Unexpected(ESlot::FaultStatus, EValueKind::Real);
  return static_cast<TZARNStatusCode>(
      CheckedInteger(NQELZARN20::eCIMTypeSInt32, IntegerOf(number)));
}

void TParser::ParseAssociations() {
  if (m_in.Peek() != '[') WrongValue(ESlot::Associations);
  m_in.Skip();
  TFrame& frame = Push(EContainer::Associations);
  if (!m_in.Take(']')) {
    do {
      ++frame.count;
      if (m_in.Peek() != '[') WrongValue(ESlot::Pair);
      ParsePair();
    } while (m_in.Take(','));
    m_in.Expect(']');
  }
  Pop();
}

void TParser::ParsePair() {
  m_in.Skip();
  m_pairs.emplace_back();
  TFrame& frame = Push(EContainer::Pair);
  if (!m_in.Take(']')) {
    do {
      ++frame.count;
      if (m_in.Peek() != '"') WrongValue(ESlot::PairId);
      const std::string_view id = m_in.String();
      (frame.count == 1 ? m_pairs.back().first : m_pairs.back().second)
          .assign(id.data(), id.size());
    } while (m_in.Take(','));
    m_in.Expect(']');
  }
  if (frame.count != 2) {
    FailAtContainer("expected a pair of two $ids, got " + std::to_string(frame.count));
  }
  Pop();
}

void TParser::ParseCollection() {
  if (m_in.Peek() != '{') WrongValue(ESlot::Collection);
  m_in.Skip();
  Push(EContainer::Record);
  TCollectionRecord record;
  std::string* const texts[] = {&record.collector, &record.version, &record.host, &record.time};
  if (!m_in.Take('}')) {
    std::string_view key = Key();
    do {
      const std::size_t index = RecordKey(kRecordKeys, key);
      m_in.Expect(':');
      if (1u << index == kRecordClassesSeen) {
        ParseCollectedClasses(record.classes);
      } else {
        *texts[index] = RecordText();
      }
    } while (NextKey(key));
  }
  CheckRequired(kRecordKeys);
  m_inventory.SetCollection(std::move(record));
  Pop();
}

void TParser::ParseCollectedClasses(std::vector<TCollectedClass>& classes) {
  if (m_in.Peek() != '{') WrongValue(ESlot::CollectedClasses);
  m_in.Skip();
  TFrame& frame = Push(EContainer::Record);
  std::unordered_set<std::string> names;
  if (!m_in.Take('}')) {
    std::string_view key = Key();
    do {
      if (key.empty()) FailAtContainer("empty class name");
      m_className.assign(key.data(), key.size());
      frame.key = m_className;
      if (!names.insert(m_className).second) FailAtContainer("duplicate key " + Quoted(key));
      classes.push_back(TCollectedClass{m_className, {}, ECollectionState::Read, {}});
      m_in.Expect(':');
      ParseCollectedClass(classes.back());
    } while (NextKey(key));
  }
  Pop();
}

void TParser::ParseCollectedClass(TCollectedClass& collected) {
  if (m_in.Peek() != '{') WrongValue(ESlot::CollectedClass);
  m_in.Skip();
  const TFrame& frame = Push(EContainer::Record);
  if (!m_in.Take('}')) {
    std::string_view key = Key();
    do {
      const std::size_t index = RecordKey(kCollectedClassKeys, key);
      m_in.Expect(':');
      if (index == 0) collected.source = RecordText();
      if (index == 1) collected.state = ParseState();
      if (index == 2) collected.reason = RecordText();
    } while (NextKey(key));
  }
  CheckRequired(kCollectedClassKeys);
  if (collected.state == ECollectionState::Unreadable && !(frame.seen & kReasonSeen)) {
    FailAtContainer("missing key 'reason' (an unreadable class says why)");
  }
  Pop();
}

ECollectionState TParser::ParseState() {
  if (m_in.Peek() != '"') WrongValue(ESlot::State);
  const std::string_view name = m_in.String();
  for (const TStateName& state : kStateNames) {
    if (state.name == name) return state.state;
  }
  FailAtValue(UnexpectedMessage(ESlot::State, ", got " + Quoted(name)));
}

std::string TParser::RecordText() {
  if (m_in.Peek() != '"') WrongValue(ESlot::RecordText);
  return std::string(m_in.String());
}

template <std::size_t N>
std::size_t TParser::RecordKey(const TRecordKey (&keys)[N], std::string_view key) {
  for (std::size_t index = 0; index < N; ++index) {
    if (keys[index].name == key) {
      Once(Top(), 1u << index, keys[index].name);
      return index;
    }
  }
  FailAtContainer("unknown key " + Quoted(key));
}

template <std::size_t N>
void TParser::CheckRequired(const TRecordKey (&keys)[N]) {
  for (std::size_t index = 0; index < N; ++index) {
    if (keys[index].required && !(Top().seen & 1u << index)) {
      FailAtContainer("missing key " + Quoted(keys[index].name));
    }
  }
}

// The number when it fits the type (the callers' types all fit int64); a
// located error otherwise.
std::int64_t TParser::CheckedInteger(ECIMType type, const TInteger& number) {
  const TTypeForm& form = Form(type);
  if (!Fits(form, number)) {
    FailAtValue("value " + std::string(number.text) + " does not fit " + std::string(form.name));
  }
  return number.asInt64;
}

double TParser::CheckedReal(const TTypeForm& form, double number, std::string_view text) {
  if (!FitsReal(form, number)) {
    FailAtValue("value " + std::string(text) + " does not fit " + std::string(form.name));
  }
  return number;
}

void TParser::AddInteger(TInventory::TNameId name, const TTypeForm& form, const TInteger& number) {
  CheckedInteger(form.type, number);
  if (form.min < 0) return m_properties.Signed(name, form.type, number.asInt64);
  m_properties.Unsigned(name, form.type, number.asUInt64);
}

void TParser::CheckText(const std::string& problem) const {
  if (!problem.empty()) FailAtValue(problem);
}

std::string TParser::InstancePath(TInventory::TInstanceIndex index) const {
  return "classes." + m_inventory.Class(m_inventory.ClassOf(index)).name + "[" +
         std::to_string(m_inventory.IndexInClass(index)) + "]";
}

TInventory::TInstanceIndex TParser::ResolvePairEnd(std::size_t pair, int end) const {
  const std::string& id = end == 0 ? m_pairs[pair].first : m_pairs[pair].second;
  const boost::optional<TInventory::TInstanceIndex> found = m_inventory.FindInstanceById(id);
  if (!found) {
    throw TInventoryError(m_source + ": associations[" + std::to_string(pair) + "][" +
                          std::to_string(end) + "]: unknown $id " + Quoted(id));
  }
  return *found;
}

// Associations may name instances that come later in the file, so they are
// checked once everything is read.
void TParser::ResolveAssociations() {
  std::unordered_map<std::pair<std::size_t, std::size_t>, std::size_t, TIndexPairHash> firstAt;
  for (std::size_t pair = 0; pair < m_pairs.size(); ++pair) {
    const TInventory::TInstanceIndex first = ResolvePairEnd(pair, 0);
    const TInventory::TInstanceIndex second = ResolvePairEnd(pair, 1);
    const std::string where = m_source + ": associations[" + std::to_string(pair) + "]: ";
    if (first == second) {
      throw TInventoryError(where + "associates " + Quoted(m_pairs[pair].first) + " with itself");
    }
    const auto added = firstAt.emplace(std::minmax(first, second), pair);
    if (!added.second) {
      throw TInventoryError(where + "duplicate association of " + Quoted(m_pairs[pair].first) +
                            " and " + Quoted(m_pairs[pair].second) + " (first at associations[" +
                            std::to_string(added.first->second) + "])");
    }
    m_inventory.Associate(first, second);
  }
}

// Reads a file a piece at a time.
class TFileSource : public IByteSource {
 public:
  TFileSource(std::FILE* file, const std::string& path) : m_file(file), m_path(path) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t read = std::fread(buffer, 1, size, m_file);
    if (read == 0 && std::ferror(m_file)) throw TInventoryError(ReadFailure(m_path, errno));
    return read;
  }

 private:
  std::FILE* m_file;
  const std::string& m_path;
};

// Reads a stream a piece at a time.
class TStreamSource : public IByteSource {
 public:
  TStreamSource(std::istream& in, const std::string& sourceName)
      : m_in(in), m_sourceName(sourceName) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    m_in.read(buffer, static_cast<std::streamsize>(size));
    if (m_in.bad()) throw TInventoryError(m_sourceName + ": cannot read");
    return static_cast<std::size_t>(m_in.gcount());
  }

 private:
  std::istream& m_in;
  const std::string& m_sourceName;
};

// Hands out a text in pieces, as a file would come.
class TTextSource : public IByteSource {
 public:
  explicit TTextSource(const std::string& text) : m_rest(text) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t read = std::min(size, m_rest.size());
    std::memcpy(buffer, m_rest.data(), read);
    m_rest.remove_prefix(read);
    return read;
  }

 private:
  std::string_view m_rest;
};

boost::shared_ptr<TInventory> Load(const std::string& source, IByteSource& input) {
  const boost::shared_ptr<TInventory> inventory = boost::make_shared<TInventory>();
  TParser parser(source, input, *inventory);
  parser.ParseDocument();
  parser.ResolveAssociations();
  return inventory;
}

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Windows refuses to open a folder as a file and reports "permission
// denied"; the user is told that the path is a folder, as on Linux.
bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

}  // namespace

boost::shared_ptr<TInventory> LoadInventoryFile(const std::string& path) {
  if (IsFolder(path)) throw TInventoryError(ReadFailure(path, EISDIR));
  const std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw TInventoryError(ReadFailure(path, errno));
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  TFileSource input(file.get(), path);
  return Load(path, input);
}

boost::shared_ptr<TInventory> LoadInventoryStream(std::istream& in, const std::string& sourceName) {
  TStreamSource input(in, sourceName);
  return Load(sourceName, input);
}

boost::shared_ptr<TInventory> LoadInventoryText(const std::string& text,
                                                const std::string& sourceName) {
  TTextSource input(text);
  return Load(sourceName, input);
}

}  // namespace NZARNCORE
