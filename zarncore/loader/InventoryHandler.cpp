#include "zarncore/loader/InventoryHandler.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include <boost/json/basic_parser_impl.hpp>

#include "zarncore/InventoryFormat.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/loader/LoadErrors.h"
#include "zarncore/loader/PieceSources.h"

namespace NZARNCORE {

namespace {

// Of a number that comes in pieces, this much of its text is kept.
constexpr std::size_t kNumberTextLimit = 4096;

bool IsArray(EContainer container) { return container <= EContainer::Pair; }

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

constexpr TFixedKey kTopKeys[] = {{kFormatKey, ESlot::Format},
                                  {kOperatingSystemTypeKey, ESlot::OsType},
                                  {kClassesKey, ESlot::Classes},
                                  {kAssociationsKey, ESlot::Associations},
                                  {kCollectionKey, ESlot::Collection}};
constexpr unsigned kClassesSeen = 1u << 2;  // the bit of kTopKeys[2]

// The collection record's keys; the first four are required.
constexpr TFixedKey kCollectionKeys[] = {{kCollectorKey, ESlot::CollectionText},
                                         {kVersionKey, ESlot::CollectionText},
                                         {kTimeKey, ESlot::CollectionText},
                                         {kClassesKey, ESlot::CollectedClasses},
                                         {kHostKey, ESlot::CollectionText}};
constexpr std::size_t kRequiredCollectionKeys = 4;

// A collected class's keys; the first two are required.
constexpr TFixedKey kCollectedKeys[] = {{kSourceKey, ESlot::CollectedText},
                                        {kStateKey, ESlot::CollectedState},
                                        {kReasonKey, ESlot::CollectedText}};
constexpr std::size_t kRequiredCollectedKeys = 2;
constexpr unsigned kReasonSeen = 1u << 2;

// Keys of an instance or fault object that may appear once.
constexpr unsigned kIdSeen = 1;
constexpr unsigned kStatusSeen = 1;
constexpr unsigned kPointSeen = 2;

// The 'on' value of a fault in this place; empty where faults have none.
std::string_view FaultPoint(ESlot owner) {
  if (owner == ESlot::Class) return kEnumeratePoint;
  if (owner == ESlot::Property) return kValuePoint;
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

struct TIndexPairHash {
  std::size_t operator()(const std::pair<std::size_t, std::size_t>& pair) const {
    return std::hash<std::size_t>()(pair.first) * 31 + pair.second;
  }
};

// "'read', 'absent', 'unreadable' or 'partial'".
std::string StateChoices() {
  std::string choices;
  const std::size_t count = std::size(kCollectionStateNames);
  for (std::size_t i = 0; i < count; ++i) {
    choices += (i == 0 ? "" : i + 1 == count ? " or " : ", ") + Quoted(kCollectionStateNames[i]);
  }
  return choices;
}

}  // namespace

THandler::THandler(const std::string& source, TInventory& inventory, TRestOfArray)
    : THandler(source, inventory) {
  m_restOfArray = true;
  Push(EContainer::Top, ESlot::Classes).seen = kClassesSeen;
  Push(EContainer::Classes, ESlot::Class);
}

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
      return "expected " + StateChoices() + got;
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
      if (!(frame.seen & kClassesSeen)) FailAtContainer("missing key " + Quoted(kClassesKey));
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
      m_collectionText = frame.key == kSourceKey ? &m_collected.source : &m_collected.reason;
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
  if ((!key.empty() && key[0] == '$') || key == kFaultPointKey) {
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
  if (key == kFaultStatusKey) {
    Once(frame, kStatusSeen, kFaultStatusKey);
    frame.slot = ESlot::FaultStatus;
  } else if (key == kFaultPointKey && !FaultPoint(frame.owner).empty()) {
    Once(frame, kPointSeen, kFaultPointKey);
    frame.slot = ESlot::FaultOn;
  } else {
    FailAtContainer("unknown key " + Quoted(key));
  }
}

std::string* THandler::CollectionField(std::string_view key) {
  if (key == kCollectorKey) return &m_collection.collector;
  if (key == kVersionKey) return &m_collection.version;
  return key == kTimeKey ? &m_collection.time : &m_collection.host;
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
  const TInventory::TInterned interned = m_inventory.InternName(key);
  const TInventory::TNameId name = interned.id;
  if (position >= shape.size()) shape.resize(position + 1);
  shape[position] = TShapeName{name, interned.name};
  if (name >= m_lastHolder.size()) {
    m_lastHolder.resize(name + 1, 0);
    m_lastForm.resize(name + 1, nullptr);
  }
  return name;
}

void THandler::SetId(std::string_view id) {
  if (id.empty()) FailAtValue("empty $id");
  // Read apart, an $id could not be held against those before it.
  if (m_restOfArray) FailAtValue("$id in an array read apart");
  const std::optional<TInventory::TInstanceIndex> first = m_inventory.FindInstanceById(id);
  if (first) {
    FailAtValue("duplicate $id " + Quoted(id) + " (first at " + InstancePath(*first) + ")");
  }
  m_inventory.SetInstanceId(m_instance, id);
}

void THandler::EndFault(const TFrame& fault) {
  if (!(fault.seen & kStatusSeen)) FailAtContainer("missing key " + Quoted(kFaultStatusKey));
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
    FailAtContainer("missing key " + Quoted(kReasonKey) + " (an unreadable class says why)");
  if (!(frame.seen & kReasonSeen) && m_collected.state == ECollectionState::Partial)
    FailAtContainer("missing key " + Quoted(kReasonKey) +
                    " (a class read in part says what was lost)");
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
  const std::optional<TInventory::TInstanceIndex> found = m_inventory.FindInstanceById(id);
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

}  // namespace NZARNCORE

template class boost::json::basic_parser<NZARNCORE::THandler>;
template boost::json::basic_parser<NZARNCORE::THandler>::basic_parser(
    const boost::json::parse_options&, const std::string&, NZARNCORE::TInventory&);
template boost::json::basic_parser<NZARNCORE::THandler>::basic_parser(
    const boost::json::parse_options&, const std::string&, NZARNCORE::TInventory&,
    NZARNCORE::THandler::TRestOfArray&&);
