#include "zarncore/InventoryLoader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <boost/json/basic_parser_impl.hpp>
#include <boost/make_shared.hpp>

#include "zarncore/CIMTypes.h"
#include "zarncore/PropertyWriter.h"
#include "zarncore/Text.h"

namespace NZARNCORE {

TInventoryError::TInventoryError(const std::string& what) : std::runtime_error(Printable(what)) {}

TInventoryError::~TInventoryError() = default;

namespace {

using boost::json::error_code;
using JsonText = boost::json::string_view;

// The file is handed to the parser this much at a time.
constexpr std::size_t kPieceSize = std::size_t(1) << 20;
// A message quotes at most this much of a text or number from the file.
constexpr std::size_t kQuotedBytes = 80;
// Of a number that comes in pieces, this much of its text is kept.
constexpr std::size_t kNumberTextLimit = 4096;

// A descriptor that is not open can only be a standard stream the caller
// closed.
std::string ReadFailure(const std::string& path, int error) {
  const std::string reason =
      error == EBADF ? "not open" : ErrorReason(std::error_code(error, std::generic_category()));
  return path + ": cannot read: " + reason;
}

// A text of the file as a message shows it, between marks: whole when
// short, otherwise its first bytes up to a whole character, "..." and its
// length, as in 'abc...' (cut, 104857600 bytes).
std::string Shown(std::string_view text, std::size_t length, std::string_view mark) {
  std::string shown(mark);
  if (length <= kQuotedBytes) return shown.append(text).append(mark);
  std::size_t cut = kQuotedBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return shown.append(text.substr(0, cut))
      .append("...")
      .append(mark)
      .append(" (cut, " + std::to_string(length) + " bytes)");
}

std::string Quoted(std::string_view text) { return Shown(text, text.size(), "'"); }

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

// A typed value's key: the CIM type and the JSON values it takes.
struct TTypeForm {
  std::string_view name;
  ECIMType type;
  EValueKind accepts;  // String, Integer, Real or Boolean
};

// In type code order: kTypeForms[code - 1].
constexpr TTypeForm kTypeForms[] = {
    {"boolean", NQELZARN20::eCIMTypeBoolean, EValueKind::Boolean},
    {"uint8", NQELZARN20::eCIMTypeUInt8, EValueKind::Integer},
    {"sint8", NQELZARN20::eCIMTypeSInt8, EValueKind::Integer},
    {"uint16", NQELZARN20::eCIMTypeUInt16, EValueKind::Integer},
    {"sint16", NQELZARN20::eCIMTypeSInt16, EValueKind::Integer},
    {"uint32", NQELZARN20::eCIMTypeUInt32, EValueKind::Integer},
    {"sint32", NQELZARN20::eCIMTypeSInt32, EValueKind::Integer},
    {"uint64", NQELZARN20::eCIMTypeUInt64, EValueKind::Integer},
    {"sint64", NQELZARN20::eCIMTypeSInt64, EValueKind::Integer},
    {"real32", NQELZARN20::eCIMTypeReal32, EValueKind::Real},
    {"real64", NQELZARN20::eCIMTypeReal64, EValueKind::Real},
    {"char16", NQELZARN20::eCIMTypeChar16, EValueKind::String},
    {"string", NQELZARN20::eCIMTypeString, EValueKind::String},
    {"datetime", NQELZARN20::eCIMTypeDateTime, EValueKind::String},
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

const TTypeForm* FindForm(std::string_view name) {
  const auto found = std::find_if(std::begin(kTypeForms), std::end(kTypeForms),
                                  [&](const TTypeForm& form) { return form.name == name; });
  return found == std::end(kTypeForms) ? nullptr : found;
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

// A JSON number as the parser read it.
struct TNumber {
  enum EKind { eInt64, eUInt64, eOther };
  std::string_view text;  // as written; its first kNumberTextLimit bytes when longer
  std::size_t length;     // of the whole text
  bool integer;           // neither a fraction nor an exponent
  EKind kind;             // whether it fits 64 bits
  std::int64_t int64;
  std::uint64_t uint64;
  double parsed;  // the parser's nearest double

  bool Fits(ECIMType type) const {
    if (kind == eInt64) return FitsSigned(type, int64);
    return kind == eUInt64 && FitsUnsigned(type, uint64);
  }
  // The nearest double: read again from the whole text, which rounds
  // exactly, unless the text is too long to keep.
  double Real() const {
    if (kind == eInt64) return static_cast<double>(int64);
    if (kind == eUInt64) return static_cast<double>(uint64);
    double value = parsed;
    if (text.size() == length) {
      const std::from_chars_result read = std::from_chars(text.data(), text.data() + length, value);
      if (read.ec == std::errc::result_out_of_range) value = parsed;
    }
    return value;
  }
  std::string Shown() const { return NZARNCORE::Shown(text, length, ""); }
};

bool HasFractionOrExponent(std::string_view text) {
  return text.find_first_of(".eE") != std::string_view::npos;
}

// Why text is no char16, or empty: one character of one UTF-16 code unit.
std::string Char16Problem(std::string_view text) {
  if (text.empty() || Utf8SequenceLength(text, 0) != text.size()) {
    return "expected exactly one character for char16, got " + Quoted(text);
  }
  if (text.size() == 4) return Quoted(text) + " does not fit char16 (two UTF-16 code units)";
  return std::string();
}

bool IsDateTimeDigit(char c) { return (c >= '0' && c <= '9') || c == '*'; }

// Whether text has the form of a CIM datetime; DateTimeProblem says why not.
bool IsDateTime(std::string_view text) {
  if (text.size() != 25 || text[14] != '.') return false;
  if (text[21] != '+' && text[21] != '-' && text[21] != ':') return false;
  for (std::size_t offset = 0; offset < text.size(); ++offset) {
    if (offset != 14 && offset != 21 && !IsDateTimeDigit(text[offset])) return false;
  }
  return true;
}

// Why text is no CIM datetime: yyyymmddhhmmss.mmmmmm then the UTC offset in
// minutes with its sign, or ddddddddhhmmss.mmmmmm:000 for an interval; '*'
// stands for a digit that is not known. Lengths and offsets count
// characters.
std::string DateTimeProblem(std::string_view text) {
  const auto problem = [&](const std::string& what) {
    return "bad datetime " + Quoted(text) + ": " + what;
  };
  const std::size_t characters = CharacterCount(text);
  if (characters != 25) {
    return problem("expected 25 characters, got " + std::to_string(characters));
  }
  std::size_t offset = 0;
  for (std::size_t at = 0; at < text.size();
       at += std::max<std::size_t>(1, Utf8SequenceLength(text, at)), ++offset) {
    const char c = text[at];
    if (offset == 14 && c != '.') return problem("expected '.' at offset 14");
    if (offset == 21 && c != '+' && c != '-' && c != ':') {
      return problem("expected '+', '-' or ':' at offset 21");
    }
    if (offset != 14 && offset != 21 && !IsDateTimeDigit(c)) {
      return problem("expected a digit or '*' at offset " + std::to_string(offset));
    }
  }
  return std::string();
}

// What the value that comes next fills.
enum class ESlot {
  Document,
  Format,
  OsType,
  Classes,
  Associations,
  Collection,
  Class,
  Instance,
  Id,
  Property,
  Typed,
  FaultStatus,
  FaultOn,
  Pair,
  PairId,
  CollectionText,
  CollectedClasses,
  CollectedClass,
  CollectedText,
  CollectedState
};

// The arrays first.
enum class EContainer {
  Instances,
  Associations,
  Pair,
  Top,
  Classes,
  Instance,
  ValueObject,
  Fault,
  Collection,
  CollectedClasses,
  CollectedClass
};

bool IsArray(EContainer container) { return container <= EContainer::Pair; }

// A key of an object of fixed keys: the value it takes, and its bit among
// the keys seen.
struct TFixedKey {
  std::string_view name;
  ESlot slot;
};

constexpr TFixedKey kTopKeys[] = {{"format", ESlot::Format},
                                  {"operatingSystemType", ESlot::OsType},
                                  {"classes", ESlot::Classes},
                                  {"associations", ESlot::Associations},
                                  {"collection", ESlot::Collection}};
constexpr unsigned kClassesSeen = 1u << 2;  // the bit of kTopKeys[2]

// The collection record's keys; the first four are required.
constexpr TFixedKey kCollectionKeys[] = {{"collector", ESlot::CollectionText},
                                         {"version", ESlot::CollectionText},
                                         {"time", ESlot::CollectionText},
                                         {"classes", ESlot::CollectedClasses},
                                         {"host", ESlot::CollectionText}};
constexpr std::size_t kRequiredCollectionKeys = 4;

// A collected class's keys; the first two are required.
constexpr TFixedKey kCollectedKeys[] = {{"source", ESlot::CollectedText},
                                        {"state", ESlot::CollectedState},
                                        {"reason", ESlot::CollectedText}};
constexpr std::size_t kRequiredCollectedKeys = 2;
constexpr unsigned kReasonSeen = 1u << 2;

// Keys of an instance or fault object that may appear once.
constexpr unsigned kIdSeen = 1;
constexpr unsigned kStatusSeen = 1;
constexpr unsigned kPointSeen = 2;

constexpr std::string_view kIdKey = "$id";
constexpr std::string_view kStatusKey = "$error";
constexpr std::string_view kPointKey = "on";

// The 'on' value of a fault in this place; empty where faults have none.
std::string_view FaultPoint(ESlot owner) {
  if (owner == ESlot::Class) return "enumerate";
  if (owner == ESlot::Property) return "value";
  return std::string_view();
}

const TFixedKey* FindKey(const TFixedKey* begin, const TFixedKey* end, std::string_view name) {
  const TFixedKey* found =
      std::find_if(begin, end, [&](const TFixedKey& key) { return key.name == name; });
  return found == end ? nullptr : found;
}

// The first required key of a fixed-key object that its seen bits lack.
const TFixedKey* FirstMissing(const TFixedKey* keys, std::size_t required, unsigned seen) {
  for (std::size_t i = 0; i < required; ++i) {
    if (!(seen & (1u << i))) return &keys[i];
  }
  return nullptr;
}

// An open object or array. Keys point to storage that outlives the frame.
struct TFrame {
  EContainer container;
  ESlot slot;              // of the value that comes next
  std::string_view key;    // the current key of an object
  std::size_t count;       // keys of an object, elements of an array so far
  unsigned seen;           // bits of keys that may appear once
  ESlot owner;             // what a fault object stands in for
  const TTypeForm* form;   // of a typed value
  TZARNStatusCode status;  // of a fault
};

struct TIndexPairHash {
  std::size_t operator()(const std::pair<std::size_t, std::size_t>& pair) const {
    return std::hash<std::size_t>()(pair.first) * 31 + pair.second;
  }
};

// The parser's handler: builds the inventory from the parser's events and
// stops at the first value that does not belong where it is, throwing
// TInventoryError with the JSON path of the place. The format nests five
// deep, and anything deeper is refused where it starts, so the parser never
// goes deeper than that.
class THandler {
 public:
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);

  THandler(const std::string& source, TInventory& inventory)
      : m_source(source), m_inventory(inventory) {}

  bool on_document_begin(error_code&) { return true; }
  bool on_document_end(error_code&) { return true; }
  bool on_object_begin(error_code&) {
    ObjectBegin(NextSlot());
    return true;
  }
  bool on_object_end(std::size_t, error_code&) {
    ObjectEnd();
    return true;
  }
  bool on_array_begin(error_code&) {
    ArrayBegin(NextSlot());
    return true;
  }
  bool on_array_end(std::size_t, error_code&) {
    ArrayEnd();
    return true;
  }
  bool on_key_part(JsonText part, std::size_t, error_code&) {
    m_key.append(part.data(), part.size());
    return true;
  }
  bool on_key(JsonText last, std::size_t, error_code&) {
    if (m_key.empty()) {
      Key(View(last));
    } else {
      m_key.append(last.data(), last.size());
      Key(m_key);
      m_key.clear();
    }
    return true;
  }
  bool on_string_part(JsonText part, std::size_t, error_code&) {
    if (!m_inString) BeginString(NextSlot());
    AppendString(View(part));
    return true;
  }
  bool on_string(JsonText last, std::size_t, error_code&) {
    if (m_inString) {
      AppendString(View(last));
      EndString();
    } else {
      StringValue(NextSlot(), View(last), false);
    }
    return true;
  }
  bool on_number_part(JsonText part, error_code&) {
    NumberPart(View(part));
    return true;
  }
  bool on_int64(std::int64_t number, JsonText last, error_code&) {
    NumberValue(NextSlot(), Number(TNumber::eInt64, number, 0, 0.0, View(last)));
    return true;
  }
  bool on_uint64(std::uint64_t number, JsonText last, error_code&) {
    NumberValue(NextSlot(), Number(TNumber::eUInt64, 0, number, 0.0, View(last)));
    return true;
  }
  bool on_double(double number, JsonText last, error_code&) {
    NumberValue(NextSlot(), Number(TNumber::eOther, 0, 0, number, View(last)));
    return true;
  }
  bool on_bool(bool flag, error_code&) {
    BooleanValue(NextSlot(), flag);
    return true;
  }
  bool on_null(error_code&) {
    NullValue(NextSlot());
    return true;
  }
  // Comments are refused by the parser itself.
  bool on_comment_part(JsonText, error_code&) { return true; }
  bool on_comment(JsonText, error_code&) { return true; }

  void ResolveAssociations();

 private:
  static std::string_view View(JsonText text) { return std::string_view(text.data(), text.size()); }

  TFrame& Top() { return m_frames[m_depth - 1]; }
  TFrame& Push(EContainer container, ESlot slot);
  void Pop() { --m_depth; }
  // The slot of the value that starts now; an array counts it.
  ESlot NextSlot();

  std::string Path(std::size_t frames) const;
  [[noreturn]] void Fail(std::size_t frames, const std::string& message) const;
  // Problems of the value now read, and of the open object or array itself.
  [[noreturn]] void FailAtValue(const std::string& message) const { Fail(m_depth, message); }
  [[noreturn]] void FailAtContainer(const std::string& message) const {
    Fail(m_depth - 1, message);
  }
  [[noreturn]] void Unexpected(ESlot slot, EValueKind got) {
    FailAtValue(UnexpectedMessage(slot, ", got " + KindText(got)));
  }
  std::string UnexpectedMessage(ESlot slot, const std::string& got);
  void Once(TFrame& frame, unsigned bit, std::string_view key);

  void ObjectBegin(ESlot slot);
  void ObjectEnd();
  void ArrayBegin(ESlot slot);
  void ArrayEnd();
  void Key(std::string_view key);
  void FixedKey(TFrame& frame, const TFixedKey* begin, const TFixedKey* end, std::string_view key);
  void ClassKey(TFrame& frame, std::string_view key);
  void InstanceKey(TFrame& frame, std::string_view key);
  void ValueObjectKey(TFrame& frame, std::string_view key);
  void FaultKey(TFrame& frame, std::string_view key);
  std::string* CollectionField(std::string_view key);

  void BeginString(ESlot slot);
  void AppendString(std::string_view part);
  void EndString();
  void StringValue(ESlot slot, std::string_view text, bool stored);
  void TypedText(std::string_view text, bool stored);
  void NumberPart(std::string_view part);
  TNumber Number(TNumber::EKind kind, std::int64_t int64, std::uint64_t uint64, double parsed,
                 std::string_view last);
  void NumberValue(ESlot slot, const TNumber& number);
  void TypedNumber(const TNumber& number);
  void BooleanValue(ESlot slot, bool flag);
  void NullValue(ESlot slot);

  void BeginInstance();
  void EndInstance();
  TInventory::TNameId PropertyName(std::size_t position, std::string_view key);
  void SetId(std::string_view id);
  void EndFault(const TFrame& fault);
  void EndCollection(const TFrame& frame);
  void EndCollectedClass(const TFrame& frame);
  void CollectedState(std::string_view text);

  std::int64_t CheckedInteger(ECIMType type, const TNumber& number);
  double CheckedReal(ECIMType type, const TNumber& number);
  void AddInteger(ECIMType type, const TNumber& number);

  TInventory::TInstanceIndex ResolvePairEnd(std::size_t pair, int end) const;
  std::string InstancePath(TInventory::TInstanceIndex index) const;

  const std::string& m_source;
  TInventory& m_inventory;
  TFrame m_frames[6];
  std::size_t m_depth = 0;

  std::string m_key;  // a key that came in parts
  // A string that comes in parts goes straight into the properties when it
  // is a property's value, into m_text when it is kept otherwise, and
  // nowhere when it is refused.
  enum class ESink { Properties, Text, Nowhere };
  bool m_inString = false;
  ESlot m_stringSlot = ESlot::Document;
  ESink m_sink = ESink::Nowhere;
  std::string m_text;
  // A number that comes in parts; its text is kept until the next one
  // starts.
  std::string m_numberText;
  std::size_t m_numberLength = 0;
  bool m_numberInteger = true;

  std::string m_className;
  std::size_t m_classIndex = 0;
  TInventory::TInstanceIndex m_instance = 0;
  std::size_t m_position = 0;          // of the next property of the instance
  TInventory::TNameId m_property = 0;  // the property whose value comes next
  // The property names of the last instance of each class, in order: the
  // next instance most likely has the same.
  struct TShapeName {
    TInventory::TNameId id;
    std::string_view name;
  };
  std::vector<std::vector<TShapeName>> m_shapes;
  // The properties of the instance being read.
  TPropertyWriter m_properties;
  // Per property name, the last instance (plus one) that had it, and the
  // type it last had.
  std::vector<std::uint32_t> m_lastHolder;
  std::vector<const TTypeForm*> m_lastForm;
  std::vector<std::pair<std::string, std::string>> m_pairs;

  TCollectionRecord m_collection;
  TCollectedClass m_collected;
  std::string* m_collectionText = nullptr;  // the field a collection text fills
  std::unordered_set<std::string> m_collectedNames;
};

TFrame& THandler::Push(EContainer container, ESlot slot) {
  TFrame& frame = m_frames[m_depth++];
  frame = TFrame{container, slot, std::string_view(), 0, 0, ESlot::Document, nullptr, 0};
  return frame;
}

ESlot THandler::NextSlot() {
  if (m_depth == 0) return ESlot::Document;
  TFrame& frame = Top();
  if (IsArray(frame.container)) ++frame.count;
  return frame.slot;
}

// The path through the first frames: classes.X[0].Name. A typed value's
// own key is left out, as it belongs to its property.
std::string THandler::Path(std::size_t frames) const {
  std::string path;
  for (std::size_t i = 0; i < frames; ++i) {
    const TFrame& frame = m_frames[i];
    if (IsArray(frame.container)) {
      path += "[" + std::to_string(frame.count - 1) + "]";
    } else if (frame.container != EContainer::ValueObject) {
      if (!path.empty()) path += '.';
      path += Shown(frame.key, frame.key.size(), "");
    }
  }
  return path.empty() ? "top level" : path;
}

void THandler::Fail(std::size_t frames, const std::string& message) const {
  throw TInventoryError(m_source + ": " + Path(frames) + ": " + message);
}

std::string THandler::UnexpectedMessage(ESlot slot, const std::string& got) {
  switch (slot) {
    case ESlot::Document:
    case ESlot::Collection:
    case ESlot::CollectedClass:
      return "expected an object" + got;
    case ESlot::Format:
      return "expected the integer 1" + got;
    case ESlot::OsType:
      return "expected an integer or a fault object" + got;
    case ESlot::Classes:
    case ESlot::CollectedClasses:
      return "expected an object of classes" + got;
    case ESlot::Associations:
      return "expected an array of [id, id] pairs" + got;
    case ESlot::Class:
      return "expected an array of instances or a fault object" + got;
    case ESlot::Instance:
      return "expected an instance object" + got;
    case ESlot::Id:
    case ESlot::CollectionText:
    case ESlot::CollectedText:
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
    case ESlot::CollectedState:
      return "expected 'read', 'absent', 'unreadable' or 'partial'" + got;
    case ESlot::Property:
      break;
  }
  // A property takes every other kind of value.
  return "arrays are not supported as property values";
}

void THandler::Once(TFrame& frame, unsigned bit, std::string_view key) {
  if (frame.seen & bit) FailAtContainer("duplicate key " + Quoted(key));
  frame.seen |= bit;
  frame.key = key;
}

void THandler::ObjectBegin(ESlot slot) {
  switch (slot) {
    case ESlot::Document:
      Push(EContainer::Top, ESlot::Document);
      return;
    case ESlot::Classes:
      Push(EContainer::Classes, ESlot::Class);
      return;
    case ESlot::Class:
    case ESlot::OsType:
      Push(EContainer::Fault, ESlot::FaultStatus).owner = slot;
      return;
    case ESlot::Instance:
      return BeginInstance();
    case ESlot::Property:
      Push(EContainer::ValueObject, ESlot::Typed);
      return;
    case ESlot::Collection:
      m_collection = TCollectionRecord();
      Push(EContainer::Collection, ESlot::CollectionText);
      return;
    case ESlot::CollectedClasses:
      Push(EContainer::CollectedClasses, ESlot::CollectedClass);
      return;
    case ESlot::CollectedClass:
      m_collected = TCollectedClass{std::string(Top().key), std::string(), ECollectionState::Read,
                                    std::string()};
      Push(EContainer::CollectedClass, ESlot::CollectedText);
      return;
    default:
      Unexpected(slot, EValueKind::Object);
  }
}

void THandler::ObjectEnd() {
  const TFrame& frame = Top();
  switch (frame.container) {
    case EContainer::Top:
      if (!(frame.seen & kClassesSeen)) FailAtContainer("missing key 'classes'");
      break;
    case EContainer::Instance:
      return EndInstance();
    case EContainer::ValueObject:
      // A typed value is stored as soon as it is read.
      if (frame.count == 0) {
        FailAtContainer("empty object (expected a typed value or a fault object)");
      }
      break;
    case EContainer::Fault:
      EndFault(frame);
      break;
    case EContainer::Collection:
      EndCollection(frame);
      break;
    case EContainer::CollectedClass:
      EndCollectedClass(frame);
      break;
    default:
      break;
  }
  Pop();
}

void THandler::ArrayBegin(ESlot slot) {
  switch (slot) {
    case ESlot::Class:
      m_classIndex = m_inventory.AddClass(m_className);
      m_shapes.resize(std::max(m_shapes.size(), m_classIndex + 1));
      Push(EContainer::Instances, ESlot::Instance);
      return;
    case ESlot::Associations:
      Push(EContainer::Associations, ESlot::Pair);
      return;
    case ESlot::Pair:
      m_pairs.emplace_back();
      Push(EContainer::Pair, ESlot::PairId);
      return;
    default:
      Unexpected(slot, EValueKind::Array);
  }
}

void THandler::ArrayEnd() {
  const TFrame& frame = Top();
  if (frame.container == EContainer::Pair && frame.count != 2) {
    FailAtContainer("expected a pair of two $ids, got " + std::to_string(frame.count));
  }
  Pop();
}

void THandler::Key(std::string_view key) {
  TFrame& frame = Top();
  ++frame.count;
  // The keys of instances and their typed values come by the million.
  if (frame.container == EContainer::Instance) return InstanceKey(frame, key);
  if (frame.container == EContainer::ValueObject) return ValueObjectKey(frame, key);
  switch (frame.container) {
    case EContainer::Fault:
      return FaultKey(frame, key);
    case EContainer::Top:
      return FixedKey(frame, std::begin(kTopKeys), std::end(kTopKeys), key);
    case EContainer::Classes:
    case EContainer::CollectedClasses:
      return ClassKey(frame, key);
    case EContainer::Collection:
      FixedKey(frame, std::begin(kCollectionKeys), std::end(kCollectionKeys), key);
      m_collectionText = CollectionField(frame.key);
      return;
    default:
      FixedKey(frame, std::begin(kCollectedKeys), std::end(kCollectedKeys), key);
      m_collectionText = frame.key == "source" ? &m_collected.source : &m_collected.reason;
      return;
  }
}

void THandler::FixedKey(TFrame& frame, const TFixedKey* begin, const TFixedKey* end,
                        std::string_view key) {
  const TFixedKey* found = FindKey(begin, end, key);
  if (!found) FailAtContainer("unknown key " + Quoted(key));
  Once(frame, 1u << (found - begin), found->name);
  frame.slot = found->slot;
}

// A class of the inventory's classes or of the collection record's.
void THandler::ClassKey(TFrame& frame, std::string_view key) {
  if (key.empty()) FailAtContainer("empty class name");
  if (frame.container == EContainer::CollectedClasses) {
    const auto added = m_collectedNames.emplace(key);
    if (!added.second) FailAtContainer("duplicate key " + Quoted(key));
    frame.key = *added.first;
    return;
  }
  if (m_inventory.FindClass(m_className.assign(key))) {
    FailAtContainer("duplicate key " + Quoted(key));
  }
  frame.key = m_className;
}

void THandler::InstanceKey(TFrame& frame, std::string_view key) {
  if (key == kIdKey) {
    Once(frame, kIdSeen, kIdKey);
    frame.slot = ESlot::Id;
    return;
  }
  if (!key.empty() && key[0] == '$') FailAtContainer("unknown key " + Quoted(key));
  const TInventory::TNameId name = PropertyName(m_position++, key);
  if (m_lastHolder[name] == m_instance + 1) FailAtContainer("duplicate key " + Quoted(key));
  m_lastHolder[name] = static_cast<std::uint32_t>(m_instance + 1);
  m_property = name;
  frame.key = m_shapes[m_classIndex][m_position - 1].name;
  frame.slot = ESlot::Property;
}

// The first key tells a typed value from a fault.
void THandler::ValueObjectKey(TFrame& frame, std::string_view key) {
  if (frame.count > 1) {
    FailAtContainer("unexpected key " + Quoted(key) + " (a typed value has exactly one key)");
  }
  if ((!key.empty() && key[0] == '$') || key == kPointKey) {
    frame.container = EContainer::Fault;
    frame.owner = ESlot::Property;
    return FaultKey(frame, key);
  }
  // A property mostly has the same type in every instance.
  const TTypeForm*& last = m_lastForm[m_property];
  if (!last || !SameText(last->name, key)) last = FindForm(key);
  if (!last) FailAtContainer(UnknownTypeMessage(key));
  frame.form = last;
  frame.key = last->name;
}

void THandler::FaultKey(TFrame& frame, std::string_view key) {
  if (key == kStatusKey) {
    Once(frame, kStatusSeen, kStatusKey);
    frame.slot = ESlot::FaultStatus;
  } else if (key == kPointKey && !FaultPoint(frame.owner).empty()) {
    Once(frame, kPointSeen, kPointKey);
    frame.slot = ESlot::FaultOn;
  } else {
    FailAtContainer("unknown key " + Quoted(key));
  }
}

std::string* THandler::CollectionField(std::string_view key) {
  if (key == "collector") return &m_collection.collector;
  if (key == "version") return &m_collection.version;
  return key == "time" ? &m_collection.time : &m_collection.host;
}

void THandler::BeginString(ESlot slot) {
  m_inString = true;
  m_stringSlot = slot;
  if (slot == ESlot::Property) {
    m_properties.BeginText(m_property, NQELZARN20::eCIMTypeString);
    m_sink = ESink::Properties;
  } else if (slot == ESlot::Typed && Top().form->accepts == EValueKind::String) {
    m_properties.BeginText(m_property, Top().form->type);
    m_sink = ESink::Properties;
  } else if (slot == ESlot::Id || slot == ESlot::PairId || slot == ESlot::FaultOn ||
             slot == ESlot::CollectionText || slot == ESlot::CollectedText ||
             slot == ESlot::CollectedState) {
    m_text.clear();
    m_sink = ESink::Text;
  } else {
    m_sink = ESink::Nowhere;
  }
}

void THandler::AppendString(std::string_view part) {
  if (m_sink == ESink::Properties) {
    m_properties.AppendText(part);
  } else if (m_sink == ESink::Text) {
    m_text.append(part);
  }
}

void THandler::EndString() {
  m_inString = false;
  if (m_sink == ESink::Properties) return StringValue(m_stringSlot, m_properties.EndText(), true);
  StringValue(m_stringSlot, m_sink == ESink::Text ? m_text : std::string_view(), false);
  // A huge text is not kept for the rest of the load.
  if (m_text.capacity() > kPieceSize) std::string().swap(m_text);
}

// A whole string; stored tells that it is in the properties already.
void THandler::StringValue(ESlot slot, std::string_view text, bool stored) {
  switch (slot) {
    case ESlot::Property:
      if (!stored) m_properties.Text(m_property, NQELZARN20::eCIMTypeString, text);
      return;
    case ESlot::Typed:
      return TypedText(text, stored);
    case ESlot::Id:
      return SetId(text);
    case ESlot::PairId:
      (Top().count == 1 ? m_pairs.back().first : m_pairs.back().second).assign(text);
      return;
    case ESlot::FaultOn: {
      const std::string_view expected = FaultPoint(Top().owner);
      if (text != expected) FailAtValue("expected " + Quoted(expected) + ", got " + Quoted(text));
      return;
    }
    case ESlot::CollectionText:
    case ESlot::CollectedText:
      m_collectionText->assign(text);
      return;
    case ESlot::CollectedState:
      return CollectedState(text);
    default:
      Unexpected(slot, EValueKind::String);
  }
}

void THandler::TypedText(std::string_view text, bool stored) {
  const TTypeForm& form = *Top().form;
  if (form.accepts != EValueKind::String) Unexpected(ESlot::Typed, EValueKind::String);
  if (form.type == NQELZARN20::eCIMTypeChar16) {
    const std::string problem = Char16Problem(text);
    if (!problem.empty()) FailAtValue(problem);
  }
  if (form.type == NQELZARN20::eCIMTypeDateTime && !IsDateTime(text)) {
    FailAtValue(DateTimeProblem(text));
  }
  if (!stored) m_properties.Text(m_property, form.type, text);
}

void THandler::NumberPart(std::string_view part) {
  if (m_numberLength == 0) {
    m_numberText.clear();
    m_numberInteger = true;
  }
  const std::size_t kept = std::min(part.size(), kNumberTextLimit - m_numberText.size());
  m_numberText.append(part.substr(0, kept));
  m_numberLength += part.size();
  m_numberInteger = m_numberInteger && !HasFractionOrExponent(part);
}

TNumber THandler::Number(TNumber::EKind kind, std::int64_t int64, std::uint64_t uint64,
                         double parsed, std::string_view last) {
  TNumber number{last, last.size(), true, kind, int64, uint64, parsed};
  if (m_numberLength != 0) {
    NumberPart(last);
    number.text = m_numberText;
    number.length = m_numberLength;
    number.integer = m_numberInteger;
    m_numberLength = 0;
  } else if (kind == TNumber::eOther) {
    number.integer = !HasFractionOrExponent(last);
  }
  return number;
}

void THandler::NumberValue(ESlot slot, const TNumber& number) {
  switch (slot) {
    case ESlot::Property:
      if (number.integer) return AddInteger(NQELZARN20::eCIMTypeSInt64, number);
      m_properties.Real(m_property, NQELZARN20::eCIMTypeReal64,
                        CheckedReal(NQELZARN20::eCIMTypeReal64, number));
      return;
    case ESlot::Typed:
      return TypedNumber(number);
    case ESlot::Format:
      if (!number.integer) Unexpected(slot, EValueKind::Real);
      if (number.kind != TNumber::eInt64 || number.int64 != 1) {
        FailAtValue("unsupported format " + number.Shown() + " (expected 1)");
      }
      return;
    case ESlot::OsType:
      if (!number.integer) Unexpected(slot, EValueKind::Real);
      m_inventory.SetOperatingSystemType(
          static_cast<std::uint16_t>(CheckedInteger(NQELZARN20::eCIMTypeUInt16, number)));
      return;
    case ESlot::FaultStatus:
      if (!number.integer) Unexpected(slot, EValueKind::Real);
      Top().status =
          static_cast<TZARNStatusCode>(CheckedInteger(NQELZARN20::eCIMTypeSInt32, number));
      return;
    default:
      Unexpected(slot, number.integer ? EValueKind::Integer : EValueKind::Real);
  }
}

void THandler::TypedNumber(const TNumber& number) {
  const TTypeForm& form = *Top().form;
  if (form.accepts == EValueKind::Real) {
    return m_properties.Real(m_property, form.type, CheckedReal(form.type, number));
  }
  if (form.accepts != EValueKind::Integer || !number.integer) {
    Unexpected(ESlot::Typed, number.integer ? EValueKind::Integer : EValueKind::Real);
  }
  AddInteger(form.type, number);
}

void THandler::BooleanValue(ESlot slot, bool flag) {
  if (slot == ESlot::Property) return m_properties.Boolean(m_property, flag);
  if (slot == ESlot::Typed && Top().form->accepts == EValueKind::Boolean) {
    return m_properties.Boolean(m_property, flag);
  }
  Unexpected(slot, EValueKind::Boolean);
}

void THandler::NullValue(ESlot slot) {
  if (slot == ESlot::Property) return m_properties.Null(m_property, ECIMType());
  if (slot == ESlot::Typed) return m_properties.Null(m_property, Top().form->type);
  Unexpected(slot, EValueKind::Null);
}

void THandler::BeginInstance() {
  if (m_inventory.InstanceCount() == TInventory::kMaxInstances) {
    FailAtValue("too many instances (" + std::to_string(TInventory::kMaxInstances) + " at most)");
  }
  m_instance = m_inventory.AddInstance(m_classIndex);
  m_position = 0;
  m_properties.Clear();
  Push(EContainer::Instance, ESlot::Property);
}

void THandler::EndInstance() {
  if (m_properties.Size() > TInventory::kMaxPropertyBytes) {
    FailAtContainer("an instance's properties take more than 4 GiB");
  }
  m_inventory.AddProperties(m_instance, m_properties);
  Pop();
}

// The interned name of the key at this position among an instance's
// properties; the instances of a class mostly list the same names in the
// same order.
TInventory::TNameId THandler::PropertyName(std::size_t position, std::string_view key) {
  std::vector<TShapeName>& shape = m_shapes[m_classIndex];
  if (position < shape.size() && SameText(shape[position].name, key)) return shape[position].id;
  const TInventory::TNameId name = m_inventory.InternName(key);
  if (position >= shape.size()) shape.resize(position + 1);
  shape[position] = TShapeName{name, m_inventory.Name(name)};
  if (name >= m_lastHolder.size()) {
    m_lastHolder.resize(name + 1, 0);
    m_lastForm.resize(name + 1, nullptr);
  }
  return name;
}

void THandler::SetId(std::string_view id) {
  if (id.empty()) FailAtValue("empty $id");
  const boost::optional<TInventory::TInstanceIndex> first = m_inventory.FindInstanceById(id);
  if (first) {
    FailAtValue("duplicate $id " + Quoted(id) + " (first at " + InstancePath(*first) + ")");
  }
  m_inventory.SetInstanceId(m_instance, id);
}

void THandler::EndFault(const TFrame& fault) {
  if (!(fault.seen & kStatusSeen)) FailAtContainer("missing key '$error'");
  const bool onPoint = (fault.seen & kPointSeen) != 0;
  switch (fault.owner) {
    case ESlot::Class:
      return m_inventory.AddClassFault(
          m_className, onPoint ? EClassFault::Enumerate : EClassFault::Lookup, fault.status);
    case ESlot::Property:
      return m_properties.Fault(
          m_property, onPoint ? TPropertyWriter::eValueFault : TPropertyWriter::eLookupFault,
          fault.status);
    default:
      return m_inventory.SetOperatingSystemTypeFault(fault.status);
  }
}

void THandler::EndCollection(const TFrame& frame) {
  const TFixedKey* missing = FirstMissing(kCollectionKeys, kRequiredCollectionKeys, frame.seen);
  if (missing) FailAtContainer("missing key " + Quoted(missing->name));
  m_inventory.SetCollection(std::move(m_collection));
}

void THandler::EndCollectedClass(const TFrame& frame) {
  const TFixedKey* missing = FirstMissing(kCollectedKeys, kRequiredCollectedKeys, frame.seen);
  if (missing) FailAtContainer("missing key " + Quoted(missing->name));
  if (!(frame.seen & kReasonSeen) && m_collected.state == ECollectionState::Unreadable)
    FailAtContainer("missing key 'reason' (an unreadable class says why)");
  if (!(frame.seen & kReasonSeen) && m_collected.state == ECollectionState::Partial)
    FailAtContainer("missing key 'reason' (a class read in part says what was lost)");
  m_collection.classes.push_back(std::move(m_collected));
}

void THandler::CollectedState(std::string_view text) {
  const auto* const names = std::begin(kCollectionStateNames);
  const auto found = std::find(names, std::end(kCollectionStateNames), text);
  if (found == std::end(kCollectionStateNames)) {
    FailAtValue(UnexpectedMessage(ESlot::CollectedState, ", got " + Quoted(text)));
  }
  m_collected.state = static_cast<ECollectionState>(found - names);
}

// The number when it fits the type (the callers' types all fit int64); a
// located error otherwise.
std::int64_t THandler::CheckedInteger(ECIMType type, const TNumber& number) {
  if (!number.Fits(type)) {
    FailAtValue("value " + number.Shown() + " does not fit " + std::string(Form(type).name));
  }
  return number.int64;
}

double THandler::CheckedReal(ECIMType type, const TNumber& number) {
  const double real = number.Real();
  if (!FitsReal(type, real)) {
    FailAtValue("value " + number.Shown() + " does not fit " + std::string(Form(type).name));
  }
  return real;
}

void THandler::AddInteger(ECIMType type, const TNumber& number) {
  CheckedInteger(type, number);
  if (IsSignedType(type)) return m_properties.Signed(m_property, type, number.int64);
  m_properties.Unsigned(
      m_property, type,
      number.kind == TNumber::eInt64 ? static_cast<std::uint64_t>(number.int64) : number.uint64);
}

std::string THandler::InstancePath(TInventory::TInstanceIndex index) const {
  const std::string& name = m_inventory.Class(m_inventory.ClassOf(index)).name;
  return "classes." + Shown(name, name.size(), "") + "[" +
         std::to_string(m_inventory.IndexInClass(index)) + "]";
}

TInventory::TInstanceIndex THandler::ResolvePairEnd(std::size_t pair, int end) const {
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
void THandler::ResolveAssociations() {
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

// Counted in blocks short enough for a byte to hold each block's count, so
// that the compiler counts many bytes at once.
std::size_t CountNewlines(std::string_view text) {
  constexpr std::size_t kBlock = 255;
  std::size_t count = 0;
  for (std::size_t block = 0; block < text.size(); block += kBlock) {
    unsigned char inBlock = 0;
    const std::size_t end = std::min(text.size(), block + kBlock);
    for (std::size_t at = block; at < end; ++at) inBlock += text[at] == '\n' ? 1 : 0;
    count += inBlock;
  }
  return count;
}

// Where the parser is in the text, for the line and column of a syntax
// error; columns count characters.
class TTextPosition {
 public:
  // Moves past a piece the parser took whole.
  void Advance(std::string_view piece) {
    const std::size_t lastLine = piece.rfind('\n');
    if (lastLine == std::string_view::npos) {
      m_column += CharacterCount(piece);
    } else {
      m_line += CountNewlines(piece);
      m_column = CharacterCount(piece.substr(lastLine + 1));
    }
    const char* const end = piece.data() + piece.size();
    m_recent.append(end - std::min(piece.size(), kRecentBytes), end);
    if (m_recent.size() > kRecentBytes) m_recent.erase(0, m_recent.size() - kRecentBytes);
  }
  // The place shift bytes from the offset in the piece the parser is in,
  // as "LINE:COLUMN"; bytes before the offset that a shift passes are ASCII
  // and on its line.
  std::string At(std::string_view piece, std::size_t offset, std::ptrdiff_t shift) const {
    TTextPosition at = *this;
    at.Advance(piece.substr(0, shift > 0 ? offset + static_cast<std::size_t>(shift) : offset));
    const std::size_t back = static_cast<std::size_t>(-std::min<std::ptrdiff_t>(shift, 0));
    return std::to_string(at.m_line) + ":" + std::to_string(at.m_column - back + 1);
  }
  // The last bytes of the text before the offset in the piece.
  std::string Before(std::string_view piece, std::size_t offset) const {
    TTextPosition at = *this;
    at.Advance(piece.substr(0, offset));
    return at.m_recent;
  }

 private:
  static constexpr std::size_t kRecentBytes = 16;

  std::size_t m_line = 1;
  std::size_t m_column = 0;  // characters of the line before the piece
  std::string m_recent;      // the last bytes of the text before the piece
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Where the last \u escape in the text starts, or npos.
std::size_t LastUnicodeEscape(std::string_view text) {
  for (std::size_t at = text.rfind("\\u"); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : text.rfind("\\u", at - 1)) {
    // The backslash starts an escape unless one before it escapes it.
    std::size_t slashes = 1;
    while (slashes <= at && text[at - slashes] == '\\') ++slashes;
    if (slashes % 2 == 1) return at;
  }
  return std::string_view::npos;
}

// Whether the text ends in the escape of a high surrogate.
bool EndsInHighSurrogate(std::string_view text) {
  const std::size_t at = LastUnicodeEscape(text);
  if (at == std::string_view::npos || text.size() - at != 6) return false;
  unsigned code = 0;
  std::from_chars(text.data() + at + 2, text.data() + at + 6, code, 16);
  return code >= 0xD800 && code <= 0xDBFF;
}

std::string ByteText(unsigned char byte) {
  if (byte >= 0x80) return "invalid UTF-8";
  if (byte < 0x20) {
    return "unexpected control character U+" + FourHexDigits(byte, EHexLetters::Upper);
  }
  return std::string("unexpected '") + static_cast<char>(byte) + "'";
}

const char kEndOfInput[] = "unexpected end of input";
const char kUnpairedSurrogate[] = "unpaired surrogate in a \\u escape";

// A syntax error: what is wrong, and where relative to where the parser
// stopped, which is not always the first byte that is wrong.
struct TSyntaxError {
  std::ptrdiff_t shift;
  std::string message;
};

// The bytes about the place where the parser stopped: some before it, and
// the rest of the piece from it on.
struct TStop {
  std::string before;
  std::string_view after;

  char At(std::ptrdiff_t shift) const {
    if (shift < 0) return before[before.size() - static_cast<std::size_t>(-shift)];
    const std::size_t at = static_cast<std::size_t>(shift);
    return at < after.size() ? after[at] : '\0';
  }
  // The backslash of the escape the parser was in; the parser may have
  // stopped at its 'u'.
  std::ptrdiff_t EscapeStart() const {
    const std::size_t at = LastUnicodeEscape(before + std::string(after.substr(0, 1)));
    if (at == std::string::npos) return 0;
    return static_cast<std::ptrdiff_t>(at) - static_cast<std::ptrdiff_t>(before.size());
  }
  // The first of the escape's four digits that is none.
  std::ptrdiff_t BadHexDigit() const {
    const std::ptrdiff_t digits = EscapeStart() + 2;
    for (std::ptrdiff_t shift = digits; shift < digits + 4; ++shift) {
      if (!IsHexDigit(At(shift))) return shift;
    }
    return 0;
  }
  // The parser places a misspelt true, false or null at its first letter;
  // the first letter that is wrong is the place.
  std::ptrdiff_t PastLiteral() const {
    static const std::string_view kWords[] = {"true", "false", "null"};
    for (const std::string_view word : kWords) {
      if (after[0] != word[0]) continue;
      std::size_t matched = 1;
      while (matched < word.size() && matched < after.size() && after[matched] == word[matched]) {
        ++matched;
      }
      return static_cast<std::ptrdiff_t>(matched);
    }
    return 0;
  }
};

TSyntaxError Describe(const error_code& code, const TStop& stop, bool content) {
  using boost::json::error;
  if (code == error::incomplete) return {0, content ? kEndOfInput : "empty input"};
  if (code == error::exponent_overflow) return {0, "number exponent out of range"};
  if (code == error::expected_hex_digit) {
    return {stop.BadHexDigit(), "expected a hex digit in a \\u escape"};
  }
  if (code == error::illegal_leading_surrogate || code == error::illegal_trailing_surrogate ||
      code == error::expected_utf16_escape) {
    // A low surrogate alone, or a high one followed by the escape of
    // something else: the escape where the pair breaks.
    return {stop.EscapeStart(), kUnpairedSurrogate};
  }
  if (stop.after.empty()) return {0, kEndOfInput};
  // A high surrogate followed by something other than an escape, or by
  // another escape than \u.
  if (EndsInHighSurrogate(stop.before)) return {0, kUnpairedSurrogate};
  if (stop.before.back() == '\\' &&
      EndsInHighSurrogate(std::string_view(stop.before).substr(0, stop.before.size() - 1))) {
    return {-1, kUnpairedSurrogate};
  }
  const std::ptrdiff_t shift = stop.PastLiteral();
  if (static_cast<std::size_t>(shift) >= stop.after.size()) return {shift, kEndOfInput};
  return {shift, ByteText(static_cast<unsigned char>(stop.At(shift)))};
}

// Where the text comes from, a piece at a time.
class IPieceSource {
 public:
  virtual ~IPieceSource() = default;
  // The next piece, valid until the next call; empty at the end.
  virtual std::string_view Next() = 0;
};

// Hands the parser the text a piece at a time, so that it is never held
// whole, and turns the parser's syntax errors into located messages.
class TLoader {
 public:
  TLoader(const std::string& source, TInventory& inventory)
      : m_source(source), m_parser(boost::json::parse_options(), source, inventory) {}

  void Load(IPieceSource& input) {
    std::string_view piece = input.Next();
    // Editors on some systems start UTF-8 files with a byte order mark.
    if (piece.substr(0, 3) == "\xEF\xBB\xBF") piece.remove_prefix(3);
    for (; !piece.empty(); piece = input.Next()) Parse(piece, true);
    Parse(std::string_view(""), false);
    m_parser.handler().ResolveAssociations();
  }

 private:
  void Parse(std::string_view piece, bool more) {
    if (!m_content) {
      m_content = std::find_if_not(piece.begin(), piece.end(), IsBlank) != piece.end();
    }
    error_code code;
    const std::size_t used = m_parser.write_some(more, piece.data(), piece.size(), code);
    if (code) {
      const TStop stop{m_position.Before(piece, used), piece.substr(used)};
      Fail(piece, used, Describe(code, stop, m_content));
    }
    // The parser stops after the top-level value and the blanks after it.
    if (used < piece.size()) Fail(piece, used, {0, "unexpected data after the top-level object"});
    m_position.Advance(piece);
  }

  [[noreturn]] void Fail(std::string_view piece, std::size_t offset,
                         const TSyntaxError& error) const {
    throw TInventoryError(m_source + ":" + m_position.At(piece, offset, error.shift) + ": " +
                          error.message);
  }

  const std::string& m_source;
  boost::json::basic_parser<THandler> m_parser;
  TTextPosition m_position;
  bool m_content = false;  // anything but blanks so far
};

// Whether a read that found nothing yet may wait for more: a pipe that
// whoever made it left non-blocking says so, and is waited on.
bool WaitedForMore([[maybe_unused]] std::FILE* file) {
#if defined(_WIN32)
  return false;
#else
  if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
  pollfd readable{fileno(file), POLLIN, 0};
  return poll(&readable, 1, -1) >= 0 || errno == EINTR;
#endif
}

// Reads a file a piece at a time.
class TFileSource : public IPieceSource {
 public:
  TFileSource(std::FILE* file, const std::string& path)
      : m_file(file), m_path(path), m_buffer(new char[kPieceSize]) {}
  std::string_view Next() override {
    for (;;) {
      std::clearerr(m_file);
      const std::size_t read = std::fread(m_buffer.get(), 1, kPieceSize, m_file);
      if (read != 0 || !std::ferror(m_file)) return std::string_view(m_buffer.get(), read);
      if (!WaitedForMore(m_file)) throw TInventoryError(ReadFailure(m_path, errno));
    }
  }

 private:
  std::FILE* m_file;
  const std::string& m_path;
  std::unique_ptr<char[]> m_buffer;
};

// Hands out a text in pieces, as a file would come.
class TTextSource : public IPieceSource {
 public:
  explicit TTextSource(const std::string& text) : m_rest(text) {}
  std::string_view Next() override {
    const std::string_view piece = m_rest.substr(0, kPieceSize);
    m_rest.remove_prefix(piece.size());
    return piece;
  }

 private:
  std::string_view m_rest;
};

boost::shared_ptr<TInventory> Load(const std::string& source, IPieceSource& input) {
  const boost::shared_ptr<TInventory> inventory = boost::make_shared<TInventory>();
  std::make_unique<TLoader>(source, *inventory)->Load(input);
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

std::FILE* OpenFile(const std::string& path, [[maybe_unused]] EFileKind kind) {
#if !defined(_WIN32)
  if (kind == EFileKind::Regular) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status = {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      close(fd);
      throw TInventoryError(path + ": cannot read: not a regular file");
    }
    std::FILE* const file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
  }
#endif
  return std::fopen(path.c_str(), "rb");
}

}  // namespace

boost::shared_ptr<TInventory> LoadInventoryFile(const std::string& path, EFileKind kind) {
  if (IsFolder(path)) throw TInventoryError(ReadFailure(path, EISDIR));
  const std::unique_ptr<std::FILE, TFileCloser> file(OpenFile(path, kind));
  if (!file) throw TInventoryError(ReadFailure(path, errno));
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  TFileSource input(file.get(), path);
  return Load(path, input);
}

boost::shared_ptr<TInventory> LoadInventoryStream(std::FILE* file, const std::string& sourceName) {
  TFileSource input(file, sourceName);
  return Load(sourceName, input);
}

boost::shared_ptr<TInventory> LoadInventoryText(const std::string& text,
                                                const std::string& sourceName) {
  TTextSource input(text);
  return Load(sourceName, input);
}

}  // namespace NZARNCORE
