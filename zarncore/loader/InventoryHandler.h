#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include <boost/json/basic_parser.hpp>

#include "zarncore/Inventory.h"
#include "zarncore/PropertyWriter.h"
#include "zarncore/loader/TypedValues.h"

namespace NZARNCORE {

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

// A key of an object of fixed keys: the value it takes, and its bit among
// the keys seen.
struct TFixedKey {
  std::string_view name;
  ESlot slot;
};

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

// The parser's handler: builds the inventory from the parser's events and
// stops at the first value that does not belong where it is, throwing
// TInventoryError with the JSON path of the place. The format nests five
// deep, and anything deeper is refused where it starts, so the parser never
// goes deeper than that.
class THandler {
 public:
  // For the rest of a class's array read apart, from after one of its
  // instances on: the text then starts with a '[' of its own, where the
  // array's own stood.
  struct TRestOfArray {};

  using error_code = boost::json::error_code;
  using JsonText = boost::json::string_view;

  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);

  THandler(const std::string& source, TInventory& inventory)
      : m_source(source), m_inventory(inventory) {}
  THandler(const std::string& source, TInventory& inventory, TRestOfArray);

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

  // Whether text read so far that ends with '}' ends with an instance: at
  // the depth of a class's array and outside a string, nothing else closes
  // there. The rest of that array may have been read apart (see
  // TRestOfArray).
  bool AtInstanceEnd() const {
    return m_depth == 3 && m_frames[2].container == EContainer::Instances && !m_inString;
  }
  std::size_t ClassIndex() const { return m_classIndex; }
  // Counts instances of the open array that were read apart.
  void CountInstances(std::size_t count) { Top().count += count; }

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

  bool m_restOfArray = false;

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

}  // namespace NZARNCORE

// Compiled once, with the handler, so that the parser's calls into it can
// be inlined.
extern template class boost::json::basic_parser<NZARNCORE::THandler>;
