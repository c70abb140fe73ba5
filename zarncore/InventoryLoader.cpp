#include "zarncore/InventoryLoader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include <boost/json/basic_parser_impl.hpp>
#include <boost/make_shared.hpp>

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

namespace json = boost::json;
using NQELZARN20::ECIMType;

// A file is read in pieces of this size, so it is never held whole.
constexpr std::size_t kChunkSize = std::size_t(1) << 20;

// Doubles below this magnitude round to a finite float.
constexpr double kReal32Limit = 0x1.ffffffp127;

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

const TTypeForm* FindForm(std::string_view name) {
  for (const TTypeForm& form : kTypeForms) {
    if (form.name == name) return &form;
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

TCIMValue IntegerValue(const TTypeForm& form, const TInteger& number) {
  if (form.min < 0) return TCIMValue::Signed(form.type, number.asInt64);
  return TCIMValue::Unsigned(form.type, number.asUInt64);
}

bool FitsReal(const TTypeForm& form, double number) {
  if (form.type == NQELZARN20::eCIMTypeReal64) return std::isfinite(number);
  return std::fabs(number) < kReal32Limit;
}

TCIMValue RealValue(const TTypeForm& form, double number) {
  if (form.type == NQELZARN20::eCIMTypeReal32) {
    return TCIMValue::Real(form.type, static_cast<float>(number));
  }
  return TCIMValue::Real(form.type, number);
}

// The parser reports integers too large for 64 bits as doubles.
bool IsIntegerText(std::string_view text) { return text.find_first_of(".eE") == text.npos; }

std::size_t CharacterCount(const char* begin, const char* end) {
  return static_cast<std::size_t>(
      std::count_if(begin, end, [](char byte) { return (byte & 0xC0) != 0x80; }));
}

// Why text is no char16, or empty: one character of one UTF-16 code unit.
std::string Char16Problem(std::string_view text) {
  if (CharacterCount(text.data(), text.data() + text.size()) != 1) {
    return "expected exactly one character for char16, got " + Quoted(text);
  }
  if (text.size() == 4) return Quoted(text) + " does not fit char16 (two UTF-16 code units)";
  return std::string();
}

bool IsDateTimeDigit(char c) { return (c >= '0' && c <= '9') || c == '*'; }

// Why text is no CIM datetime, or empty: yyyymmddhhmmss.mmmmmm then the UTC
// offset in minutes with its sign, or ddddddddhhmmss.mmmmmm:000 for an
// interval; '*' stands for a digit that is not known.
std::string DateTimeProblem(std::string_view text) {
  const std::string prefix = "bad datetime " + Quoted(text) + ": ";
  if (text.size() != 25) {
    return prefix + "expected 25 characters, got " + std::to_string(text.size());
  }
  if (text[14] != '.') return prefix + "expected '.' at offset 14";
  const char sign = text[21];
  if (sign != '+' && sign != '-' && sign != ':') {
    return prefix + "expected '+', '-' or ':' at offset 21";
  }
  for (std::size_t offset = 0; offset < text.size(); ++offset) {
    if (offset != 14 && offset != 21 && !IsDateTimeDigit(text[offset])) {
      return prefix + "expected a digit or '*' at offset " + std::to_string(offset);
    }
  }
  return std::string();
}

// Which part of the inventory the next value fills.
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
  PairId
};

enum class EContainer { Top, Classes, Instances, Instance, ValueObject, Fault, Associations, Pair };

struct TTopKey {
  std::string_view name;
  ESlot slot;
};

constexpr TTopKey kTopKeys[] = {{"format", ESlot::Format},
                                {"operatingSystemType", ESlot::OsType},
                                {"classes", ESlot::Classes},
                                {"associations", ESlot::Associations}};
constexpr unsigned kClassesSeen = 1u << 2;  // the bit of kTopKeys[2]

// Keys of an instance or fault object that may appear once.
constexpr unsigned kIdSeen = 1;
constexpr unsigned kStatusSeen = 1;
constexpr unsigned kPointSeen = 2;

// The 'on' value of a fault in this place; empty where faults have none.
std::string_view FaultPoint(ESlot owner) {
  if (owner == ESlot::Class) return "enumerate";
  if (owner == ESlot::Property) return "value";
  return std::string_view();
}

// An open object or array.
struct TFrame {
  EContainer container;
  ESlot slot;              // of its next value
  std::string key;         // the current key of an object
  std::size_t count;       // keys of an object, elements of an array so far
  unsigned seen;           // k...Seen bits
  std::size_t index;       // the class of Instances, the instance of Instance
  const TTypeForm* form;   // of a typed value
  TZARNStatusCode status;  // of a fault
};

struct TIndexPairHash {
  std::size_t operator()(const std::pair<std::size_t, std::size_t>& pair) const {
    return std::hash<std::size_t>()(pair.first) * 31 + pair.second;
  }
};

// Receives the parser's events and builds the inventory from them. Every
// problem throws TInventoryError with the JSON path of the place.
class THandler {
 public:
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);

  THandler(const std::string& source, TInventory& inventory)
      : m_source(source), m_inventory(inventory) {}

  bool on_document_begin(json::error_code&) { return true; }
  bool on_document_end(json::error_code&) { return true; }
  bool on_array_begin(json::error_code&) {
    BeginArray();
    return true;
  }
  bool on_array_end(std::size_t, json::error_code&) {
    EndArray();
    return true;
  }
  bool on_object_begin(json::error_code&) {
    BeginObject();
    return true;
  }
  bool on_object_end(std::size_t, json::error_code&) {
    EndObject();
    return true;
  }
  bool on_string_part(json::string_view part, std::size_t, json::error_code&) {
    m_text.append(part.data(), part.size());
    return true;
  }
  bool on_string(json::string_view last, std::size_t, json::error_code&) {
    OnString(Complete(m_text, last));
    m_text.clear();
    return true;
  }
  bool on_key_part(json::string_view part, std::size_t, json::error_code&) {
    m_text.append(part.data(), part.size());
    return true;
  }
  bool on_key(json::string_view last, std::size_t, json::error_code&) {
    OnKey(Complete(m_text, last));
    m_text.clear();
    return true;
  }
  bool on_number_part(json::string_view part, json::error_code&) {
    m_number.append(part.data(), part.size());
    return true;
  }
  bool on_int64(std::int64_t number, json::string_view last, json::error_code&) {
    OnInteger({Complete(m_number, last), static_cast<double>(number), true, number >= 0, number,
               static_cast<std::uint64_t>(number)});
    m_number.clear();
    return true;
  }
  bool on_uint64(std::uint64_t number, json::string_view last, json::error_code&) {
    OnInteger({Complete(m_number, last), static_cast<double>(number), false, true, 0, number});
    m_number.clear();
    return true;
  }
  bool on_double(double number, json::string_view last, json::error_code&) {
    const std::string_view text = Complete(m_number, last);
    if (IsIntegerText(text)) {
      OnInteger({text, number, false, false, 0, 0});
    } else {
      OnReal(number, text);
    }
    m_number.clear();
    return true;
  }
  bool on_bool(bool flag, json::error_code&) {
    OnBool(flag);
    return true;
  }
  bool on_null(json::error_code&) {
    OnNull();
    return true;
  }
  bool on_comment_part(json::string_view, json::error_code&) { return true; }
  bool on_comment(json::string_view, json::error_code&) { return true; }

  bool ValueSeen() const { return m_valueSeen; }
  void ResolveAssociations();

 private:
  // The whole of a string or number that may have come in parts.
  static std::string_view Complete(std::string& parts, json::string_view last) {
    if (parts.empty()) return std::string_view(last.data(), last.size());
    parts.append(last.data(), last.size());
    return parts;
  }

  TFrame& Top() { return m_frames[m_depth - 1]; }
  TFrame& Parent() { return m_frames[m_depth - 2]; }
  TFrame& Push(EContainer container, ESlot slot);
  void Pop() { --m_depth; }
  ESlot BeginValue();

  std::string Path(std::size_t frames) const;
  [[noreturn]] void Fail(std::size_t frames, const std::string& message) const;
  // Problems of the value now read, and of the open object or array itself.
  [[noreturn]] void FailAtValue(const std::string& message) const { Fail(m_depth, message); }
  [[noreturn]] void FailAtContainer(const std::string& message) const {
    Fail(m_depth - 1, message);
  }
  [[noreturn]] void Unexpected(ESlot slot, EValueKind got);
  std::string UnexpectedMessage(ESlot slot, const std::string& got);

  void BeginObject();
  void BeginArray();
  void EndObject();
  void EndArray();
  void EndFault(const TFrame& fault);

  void OnKey(std::string_view name);
  void TopKey(TFrame& frame, std::string_view name);
  void ClassKey(TFrame& frame, std::string_view name);
  void InstanceKey(TFrame& frame, std::string_view name);
  void ValueKey(TFrame& frame, std::string_view name);
  void FaultKey(TFrame& frame, std::string_view name);
  void Once(TFrame& frame, unsigned bit, std::string_view name);

  void OnString(std::string_view text);
  void OnInteger(const TInteger& number);
  void OnReal(double number, std::string_view text);
  void OnBool(bool flag);
  void OnNull();
  void SetId(std::string_view id);
  void CheckFaultPoint(std::string_view point);
  TCIMValue TypedText(const TTypeForm& form, std::string_view text);
  TCIMValue TypedInteger(const TTypeForm& form, const TInteger& number);
  TCIMValue TypedReal(const TTypeForm& form, double number, std::string_view text);
  std::int64_t CheckedInteger(ECIMType type, const TInteger& number);
  void AddProperty(const TCIMValue& value);

  TInventory::TInstanceIndex ResolvePairEnd(std::size_t pair, int end) const;
  std::string InstancePath(TInventory::TInstanceIndex index) const;

  const std::string& m_source;
  TInventory& m_inventory;
  std::vector<TFrame> m_frames;  // reused, so keys keep their storage
  std::size_t m_depth = 0;
  std::string m_text;
  std::string m_number;
  bool m_valueSeen = false;
  std::vector<std::pair<std::string, std::string>> m_pairs;
};

TFrame& THandler::Push(EContainer container, ESlot slot) {
  if (m_depth == m_frames.size()) m_frames.emplace_back();
  TFrame& frame = m_frames[m_depth++];
  frame.container = container;
  frame.slot = slot;
  frame.key.clear();
  frame.count = 0;
  frame.seen = 0;
  frame.index = 0;
  frame.form = nullptr;
  frame.status = 0;
  return frame;
}

ESlot THandler::BeginValue() {
  m_valueSeen = true;
  if (m_depth == 0) return ESlot::Document;
  TFrame& frame = Top();
  if (frame.container == EContainer::Instances || frame.container == EContainer::Associations ||
      frame.container == EContainer::Pair) {
    ++frame.count;
  }
  return frame.slot;
}

// The path through the first frames: classes.X[0].Name. A typed value's
// own key is left out, as it belongs to its property.
std::string THandler::Path(std::size_t frames) const {
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

void THandler::Fail(std::size_t frames, const std::string& message) const {
  throw TInventoryError(m_source + ": " + Path(frames) + ": " + message);
}

void THandler::Unexpected(ESlot slot, EValueKind got) {
  FailAtValue(UnexpectedMessage(slot, ", got " + KindText(got)));
}

std::string THandler::UnexpectedMessage(ESlot slot, const std::string& got) {
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
      return "expected " + Quoted(FaultPoint(Parent().slot)) + got;
    case ESlot::Pair:
      return "expected an [id, id] pair" + got;
    case ESlot::PairId:
      return "expected a string $id" + got;
    case ESlot::Property:
      break;
  }
  // A property takes every other kind of value.
  return "arrays are not supported as property values";
}

void THandler::BeginObject() {
  const ESlot slot = BeginValue();
  switch (slot) {
    case ESlot::Document:
      Push(EContainer::Top, slot);
      break;
    case ESlot::Classes:
      Push(EContainer::Classes, ESlot::Class);
      break;
    case ESlot::OsType:
    case ESlot::Class:
      Push(EContainer::Fault, ESlot::FaultStatus);
      break;
    case ESlot::Instance: {
      const TInventory::TInstanceIndex instance =
          m_inventory.AddInstance(Top().index, std::string());
      Push(EContainer::Instance, ESlot::Property).index = instance;
      break;
    }
    case ESlot::Property:
      Push(EContainer::ValueObject, ESlot::Typed);
      break;
    default:
      Unexpected(slot, EValueKind::Object);
  }
}

void THandler::BeginArray() {
  const ESlot slot = BeginValue();
  switch (slot) {
    case ESlot::Associations:
      Push(EContainer::Associations, ESlot::Pair);
      break;
    case ESlot::Class: {
      const std::size_t classIndex = m_inventory.AddClass(Top().key);
      Push(EContainer::Instances, ESlot::Instance).index = classIndex;
      break;
    }
    case ESlot::Pair:
      m_pairs.emplace_back();
      Push(EContainer::Pair, ESlot::PairId);
      break;
    default:
      Unexpected(slot, EValueKind::Array);
  }
}

void THandler::EndObject() {
  const TFrame& frame = Top();
  if (frame.container == EContainer::Top && !(frame.seen & kClassesSeen)) {
    FailAtContainer("missing key 'classes'");
  }
  if (frame.container == EContainer::ValueObject && frame.count == 0) {
    FailAtContainer("empty object (expected a typed value or a fault object)");
  }
  if (frame.container == EContainer::Fault) EndFault(frame);
  Pop();
}

void THandler::EndArray() {
  const TFrame& frame = Top();
  if (frame.container == EContainer::Pair && frame.count != 2) {
    FailAtContainer("expected a pair of two $ids, got " + std::to_string(frame.count));
  }
  Pop();
}

void THandler::EndFault(const TFrame& fault) {
  if (!(fault.seen & kStatusSeen)) FailAtContainer("missing key '$error'");
  const bool later = (fault.seen & kPointSeen) != 0;
  const TFrame& owner = Parent();
  switch (owner.slot) {
    case ESlot::OsType:
      m_inventory.SetOperatingSystemTypeFault(fault.status);
      break;
    case ESlot::Class:
      m_inventory.AddClassFault(owner.key, later ? EClassFault::Enumerate : EClassFault::Lookup,
                                fault.status);
      break;
    default:
      m_inventory.AddPropertyFault(owner.index, owner.key,
                                   later ? EPropertyFault::Value : EPropertyFault::Lookup,
                                   fault.status);
  }
}

void THandler::OnKey(std::string_view name) {
  TFrame& frame = Top();
  ++frame.count;
  switch (frame.container) {
    case EContainer::Top:
      return TopKey(frame, name);
    case EContainer::Classes:
      return ClassKey(frame, name);
    case EContainer::Instance:
      return InstanceKey(frame, name);
    case EContainer::ValueObject:
      return ValueKey(frame, name);
    default:  // only objects have keys
      return FaultKey(frame, name);
  }
}

void THandler::Once(TFrame& frame, unsigned bit, std::string_view name) {
  if (frame.seen & bit) FailAtContainer("duplicate key " + Quoted(name));
  frame.seen |= bit;
  frame.key.assign(name.data(), name.size());
}

void THandler::TopKey(TFrame& frame, std::string_view name) {
  const auto found = std::find_if(std::begin(kTopKeys), std::end(kTopKeys),
                                  [&](const TTopKey& key) { return key.name == name; });
  if (found == std::end(kTopKeys)) FailAtContainer("unknown key " + Quoted(name));
  Once(frame, 1u << (found - std::begin(kTopKeys)), name);
  frame.slot = found->slot;
}

void THandler::ClassKey(TFrame& frame, std::string_view name) {
  if (name.empty()) FailAtContainer("empty class name");
  frame.key.assign(name.data(), name.size());
  if (m_inventory.FindClass(frame.key)) FailAtContainer("duplicate key " + Quoted(name));
}

void THandler::InstanceKey(TFrame& frame, std::string_view name) {
  if (name == "$id") {
    Once(frame, kIdSeen, name);
    frame.slot = ESlot::Id;
    return;
  }
  if (name.substr(0, 1) == "$") FailAtContainer("unknown key " + Quoted(name));
  frame.key.assign(name.data(), name.size());
  if (m_inventory.HasProperty(frame.index, frame.key)) {
    FailAtContainer("duplicate key " + Quoted(name));
  }
  frame.slot = ESlot::Property;
}

// The first key tells a typed value from a fault.
void THandler::ValueKey(TFrame& frame, std::string_view name) {
  if (frame.count > 1) {
    FailAtContainer("unexpected key " + Quoted(name) + " (a typed value has exactly one key)");
  }
  if (name.substr(0, 1) == "$" || name == "on") {
    frame.container = EContainer::Fault;
    return FaultKey(frame, name);
  }
  frame.form = FindForm(name);
  if (!frame.form) FailAtContainer(UnknownTypeMessage(name));
  frame.key.assign(name.data(), name.size());
  frame.slot = ESlot::Typed;
}

void THandler::FaultKey(TFrame& frame, std::string_view name) {
  if (name == "$error") {
    Once(frame, kStatusSeen, name);
    frame.slot = ESlot::FaultStatus;
  } else if (name == "on" && !FaultPoint(Parent().slot).empty()) {
    Once(frame, kPointSeen, name);
    frame.slot = ESlot::FaultOn;
  } else {
    FailAtContainer("unknown key " + Quoted(name));
  }
}

void THandler::OnString(std::string_view text) {
  const ESlot slot = BeginValue();
  switch (slot) {
    case ESlot::Id:
      return SetId(text);
    case ESlot::Property:
      return AddProperty(TCIMValue::Text(NQELZARN20::eCIMTypeString, std::string(text)));
    case ESlot::Typed:
      return AddProperty(TypedText(*Top().form, text));
    case ESlot::FaultOn:
      return CheckFaultPoint(text);
    case ESlot::PairId:
      if (Top().count == 1) {
        m_pairs.back().first = text;
      } else {
        m_pairs.back().second = text;
      }
      return;
    default:
      Unexpected(slot, EValueKind::String);
  }
}

void THandler::OnInteger(const TInteger& number) {
  const ESlot slot = BeginValue();
  switch (slot) {
    case ESlot::Format:
      if (!number.inInt64 || number.asInt64 != 1) {
        FailAtValue("unsupported format " + std::string(number.text) + " (expected 1)");
      }
      return;
    case ESlot::OsType:
      return m_inventory.SetOperatingSystemType(
          static_cast<std::uint16_t>(CheckedInteger(NQELZARN20::eCIMTypeUInt16, number)));
    case ESlot::Property:
      return AddProperty(TCIMValue::Signed(NQELZARN20::eCIMTypeSInt64,
                                           CheckedInteger(NQELZARN20::eCIMTypeSInt64, number)));
    case ESlot::Typed:
      return AddProperty(TypedInteger(*Top().form, number));
    case ESlot::FaultStatus:
      Top().status =
          static_cast<TZARNStatusCode>(CheckedInteger(NQELZARN20::eCIMTypeSInt32, number));
      return;
    default:
      Unexpected(slot, EValueKind::Integer);
  }
}

void THandler::OnReal(double number, std::string_view text) {
  const ESlot slot = BeginValue();
  switch (slot) {
    case ESlot::Property:
      return AddProperty(TypedReal(Form(NQELZARN20::eCIMTypeReal64), number, text));
    case ESlot::Typed:
      if (Top().form->accepts != EValueKind::Real) Unexpected(slot, EValueKind::Real);
      return AddProperty(TypedReal(*Top().form, number, text));
    default:
      Unexpected(slot, EValueKind::Real);
  }
}

void THandler::OnBool(bool flag) {
  const ESlot slot = BeginValue();
  if (slot == ESlot::Property ||
      (slot == ESlot::Typed && Top().form->accepts == EValueKind::Boolean)) {
    return AddProperty(TCIMValue::Boolean(flag));
  }
  Unexpected(slot, EValueKind::Boolean);
}

void THandler::OnNull() {
  const ESlot slot = BeginValue();
  if (slot == ESlot::Property) return AddProperty(TCIMValue());
  if (slot == ESlot::Typed) return AddProperty(TCIMValue::Null(Top().form->type));
  Unexpected(slot, EValueKind::Null);
}

void THandler::SetId(std::string_view id) {
  if (id.empty()) FailAtValue("empty $id");
  const std::string name(id);
  const boost::optional<TInventory::TInstanceIndex> first = m_inventory.FindInstanceById(name);
  if (first) {
    FailAtValue("duplicate $id " + Quoted(id) + " (first at " + InstancePath(*first) + ")");
  }
  m_inventory.SetInstanceId(Top().index, name);
}

void THandler::CheckFaultPoint(std::string_view point) {
  const std::string_view expected = FaultPoint(Parent().slot);
  if (point != expected) {
    FailAtValue("expected " + Quoted(expected) + ", got " + Quoted(point));
  }
}

TCIMValue THandler::TypedText(const TTypeForm& form, std::string_view text) {
  if (form.accepts != EValueKind::String) Unexpected(ESlot::Typed, EValueKind::String);
  std::string problem;
  if (form.type == NQELZARN20::eCIMTypeChar16) problem = Char16Problem(text);
  if (form.type == NQELZARN20::eCIMTypeDateTime) problem = DateTimeProblem(text);
  if (!problem.empty()) FailAtValue(problem);
  return TCIMValue::Text(form.type, std::string(text));
}

TCIMValue THandler::TypedInteger(const TTypeForm& form, const TInteger& number) {
  if (form.accepts == EValueKind::Real) return TypedReal(form, number.real, number.text);
  if (form.accepts != EValueKind::Integer) Unexpected(ESlot::Typed, EValueKind::Integer);
  CheckedInteger(form.type, number);
  return IntegerValue(form, number);
}

TCIMValue THandler::TypedReal(const TTypeForm& form, double number, std::string_view text) {
  if (!FitsReal(form, number)) {
    FailAtValue("value " + std::string(text) + " does not fit " + std::string(form.name));
  }
  return RealValue(form, number);
}

// The number when it fits the type (the callers' types all fit int64); a
// located error otherwise.
std::int64_t THandler::CheckedInteger(ECIMType type, const TInteger& number) {
  const TTypeForm& form = Form(type);
  if (!Fits(form, number)) {
    FailAtValue("value " + std::string(number.text) + " does not fit " + std::string(form.name));
  }
  return number.asInt64;
}

void THandler::AddProperty(const TCIMValue& value) {
  const TFrame& owner = Top().container == EContainer::Instance ? Top() : Parent();
  m_inventory.AddProperty(owner.index, owner.key, value);
}

std::string THandler::InstancePath(TInventory::TInstanceIndex index) const {
  const TInventory::TInstance& instance = m_inventory.Instance(index);
  return "classes." + m_inventory.Class(instance.classIndex).name + "[" +
         std::to_string(instance.indexInClass) + "]";
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

// Line and column of the next byte of a text; columns count characters.
class TTextPosition {
 public:
  void Advance(const char* begin, const char* end) {
    // The end of the input comes as an empty range without a buffer, which
    // memchr must not be given.
    if (begin == end) return;
    while (const void* newline = std::memchr(begin, '\n', static_cast<std::size_t>(end - begin))) {
      ++m_line;
      m_column = 1;
      begin = static_cast<const char*>(newline) + 1;
    }
    m_column += CharacterCount(begin, end);
  }
  std::string Text() const { return std::to_string(m_line) + ":" + std::to_string(m_column); }

 private:
  std::size_t m_line = 1;
  std::size_t m_column = 1;
};

std::string ByteText(unsigned char byte) {
  if (byte >= 0x80) return "invalid UTF-8";
  if (byte < 0x20) {
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("unexpected control character U+00") + kHex[byte >> 4] + kHex[byte & 15];
  }
  return "unexpected " + Quoted(std::string(1, static_cast<char>(byte)));
}

// Feeds text to the parser piece by piece and turns its errors into located
// messages.
class TLoader {
 public:
  explicit TLoader(const std::string& source)
      : m_source(source),
        m_inventory(boost::make_shared<TInventory>()),
        m_parser(json::parse_options(), m_source, *m_inventory) {}

  void Feed(const char* data, std::size_t size);
  boost::shared_ptr<TInventory> Finish();

 private:
  [[noreturn]] void SyntaxError(const char* data, std::size_t used, std::size_t size,
                                json::error_code error);
  std::string SyntaxMessage(const char* data, std::size_t used, std::size_t size,
                            json::error_code error) const;

  const std::string m_source;
  boost::shared_ptr<TInventory> m_inventory;
  json::basic_parser<THandler> m_parser;
  TTextPosition m_position;
  bool m_started = false;
};

void TLoader::Feed(const char* data, std::size_t size) {
  // Editors on some systems start UTF-8 files with a byte order mark.
  if (!m_started && size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
    data += 3;
    size -= 3;
  }
  m_started = true;
  json::error_code error;
  const std::size_t used = m_parser.write_some(true, data, size, error);
  if (error) SyntaxError(data, used, size, error);
  if (used < size) SyntaxError(data, used, size, json::error::extra_data);
  m_position.Advance(data, data + size);
}

boost::shared_ptr<TInventory> TLoader::Finish() {
  json::error_code error;
  m_parser.write_some(false, nullptr, 0, error);
  if (error) SyntaxError(nullptr, 0, 0, error);
  m_parser.handler().ResolveAssociations();
  return m_inventory;
}

void TLoader::SyntaxError(const char* data, std::size_t used, std::size_t size,
                          json::error_code error) {
  m_position.Advance(data, data + used);
  throw TInventoryError(m_source + ":" + m_position.Text() + ": " +
                        SyntaxMessage(data, used, size, error));
}

std::string TLoader::SyntaxMessage(const char* data, std::size_t used, std::size_t size,
                                   json::error_code error) const {
  if (error == json::error::syntax && used < size) {
    return ByteText(static_cast<unsigned char>(data[used]));
  }
  if (error == json::error::extra_data) return "unexpected data after the top-level object";
  if (error == json::error::incomplete) {
    return m_parser.handler().ValueSeen() ? "unexpected end of input" : "empty input";
  }
  if (error == json::error::exponent_overflow) return "number exponent out of range";
  if (error == json::error::expected_hex_digit) return "expected a hex digit in a \\u escape";
  if (error == json::error::illegal_leading_surrogate ||
      error == json::error::illegal_trailing_surrogate ||
      error == json::error::expected_utf16_escape) {
    return "unpaired surrogate in a \\u escape";
  }
  return error.message();
}

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string ReadFailure(const std::string& path, int error) {
  std::string reason = std::generic_category().message(error);
  if (!reason.empty()) {
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  }
  return path + ": cannot read: " + reason;
}

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
  TLoader loader(path);
  const std::unique_ptr<char[]> buffer(new char[kChunkSize]);
  while (const std::size_t size = std::fread(buffer.get(), 1, kChunkSize, file.get())) {
    loader.Feed(buffer.get(), size);
  }
  if (std::ferror(file.get())) throw TInventoryError(ReadFailure(path, errno));
  return loader.Finish();
}

boost::shared_ptr<TInventory> LoadInventoryText(const std::string& text,
                                                const std::string& sourceName) {
  TLoader loader(sourceName);
  loader.Feed(text.data(), text.size());
  return loader.Finish();
}

}  // namespace NZARNCORE
