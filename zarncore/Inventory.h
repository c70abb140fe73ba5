#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <optional>

#include "host/CIMValue.h"
#include "host/ZARNException.h"
#include "host/ZarnApi.h"
#include "zarncore/Arena.h"
#include "zarncore/InventoryFormat.h"
#include "zarncore/PropertyWriter.h"

namespace NZARNCORE {

using NQELZARN20::ECIMType;
using NQELZARN20::TCIMValue;
using NQELZARN20::TZARNStatusCode;

// Where a replayed fault strikes.
enum class EClassFault { None, Lookup, Enumerate };
enum class EPropertyFault { None, Lookup, Value };

// An unreadable class and one read in part both leave its instances short
// of what the machine holds, so that their emptiness proves nothing.
inline bool ReadInFull(ECollectionState state) {
  return state == ECollectionState::Read || state == ECollectionState::Absent;
}

struct TCollectedClass {
  std::string name;
  std::string source;
  ECollectionState state;
  std::string reason;  // empty when none was given
};

// Who wrote the inventory, where and when, and what became of each class.
struct TCollectionRecord {
  std::string collector;
  std::string version;
  std::string host;  // empty when not recorded
  std::string time;
  std::vector<TCollectedClass> classes;  // in file order
};

// What an inventory keeps of its instances' properties: their values, or
// none, for a summary that only has to know that they are sound (zarn
// validate), which then takes a fraction of the memory and time. The
// instances of an inventory that drops them have no properties to read.
enum class EPropertyValues { Kept, Dropped };

// One server's inventory as collectors recorded it: classes with their
// instances in delivery order, typed property values, associations, and the
// faults a host replaying the inventory raises.
//
// Inventories run to millions of instances, so they are stored compactly:
// names are interned, and each instance's properties are one run of bytes
// in an arena (name, type, value, texts inline; see TPropertyWriter). A
// TCIMValue is made only when a property's value is asked for.
class ZARN_API TInventory {
 public:
  typedef std::size_t TInstanceIndex;
  typedef std::uint32_t TNameId;

  // A property decoded, with its value.
  struct TProperty {
    std::string name;
    TCIMValue value;
    EPropertyFault fault;
    TZARNStatusCode faultStatus;
  };

  // One stored property, found by FindProperty; valid while the inventory
  // lives.
  class ZARN_API TPropertyRef {
   public:
    EPropertyFault Fault() const { return m_fault; }
    TZARNStatusCode FaultStatus() const { return m_faultStatus; }
    // The value; a null one for a fault.
    TCIMValue Value() const;

   private:
    friend class TInventory;
    const unsigned char* m_value = nullptr;  // the stored type, then its payload
    EPropertyFault m_fault = EPropertyFault::None;
    TZARNStatusCode m_faultStatus = 0;
  };

  struct TClass {
    std::string name;
    EClassFault fault;
    TZARNStatusCode faultStatus;
    std::size_t propertyFaults;
    TSegmentedArray<std::uint32_t> instances;  // in delivery order
  };

  // What the compact form can hold.
  static constexpr std::size_t kMaxInstances = 0xFFFFFFFEu;
  static constexpr std::size_t kMaxPropertyBytes = 0xFFFFFFFFu;

  // A name interned, and the inventory's own copy of it.
  struct TInterned {
    TNameId id;
    std::string_view name;
  };

  explicit TInventory(EPropertyValues values = EPropertyValues::Kept) : m_values(values) {}
  // A part of another inventory, made on another thread while that one is
  // loaded: it numbers property names as that one does, and keeps what that
  // one keeps, so that its instances can join it as they are (see
  // TakeInstances).
  explicit TInventory(TInventory* namesOf) : m_namesOf(namesOf), m_values(namesOf->m_values) {}
  TInventory(const TInventory&) = delete;
  TInventory& operator=(const TInventory&) = delete;

  // Building, for the loader. Class names and ids must be new; the loader
  // reports clashes with their location before it calls these.
  std::size_t AddClass(const std::string& name);
  void AddClassFault(const std::string& name, EClassFault where, TZARNStatusCode status);
  TInstanceIndex AddInstance(std::size_t classIndex);
  // An $id may come anywhere among an instance's properties.
  void SetInstanceId(TInstanceIndex instance, std::string_view id);
  void Associate(TInstanceIndex first, TInstanceIndex second);
  void SetOperatingSystemType(std::uint16_t type);
  void SetOperatingSystemTypeFault(TZARNStatusCode status);
  void SetCollection(TCollectionRecord record);

  // While the result lives, the storage for what is added next is made
  // ready on another thread: for a loader, which adds a great deal at once.
  // None is where values are dropped: what is left to store is too little
  // to gain by it.
  std::optional<TArena::TFillingAhead> FillingAhead() {
    if (m_values == EPropertyValues::Dropped) return std::nullopt;
    return std::optional<TArena::TFillingAhead>(std::in_place, m_arena);
  }

  // Safe to call from the thread of a part at the same time.
  TInterned InternName(std::string_view name);
  // Appends properties written with names from InternName; properties may
  // be added to any instance, fastest to the one added last. Only their
  // faults are counted where values are dropped.
  void AddProperties(TInstanceIndex instance, const TPropertyWriter& properties);
  // Appends the instances of the part's one class, in order, to the class
  // classIndex, which they follow in the file, and takes over the storage
  // they lie in. False, with nothing taken, where there would be too many.
  bool TakeInstances(std::size_t classIndex, TInventory& part);

  // Reading.
  const TClass* FindClass(const std::string& name) const;
  std::optional<TInstanceIndex> FindInstanceById(std::string_view id) const;
  const TClass& Class(std::size_t index) const { return *m_classes[index]; }
  std::size_t ClassCount() const { return m_classes.size(); }
  std::size_t InstanceCount() const { return m_instances.size(); }
  std::size_t AssociationCount() const { return m_associationCount; }
  std::size_t ClassOf(TInstanceIndex instance) const { return m_instances[instance].classIndex; }
  // The instance's place among those of its class, from 0.
  std::size_t IndexInClass(TInstanceIndex instance) const;
  // Empty when the instance has none.
  std::string_view Id(TInstanceIndex instance) const;
  // The name a trace gives the instance: its id, or Class[index].
  std::string Label(TInstanceIndex instance) const;
  void AppendLabel(std::string& out, TInstanceIndex instance) const;
  // The number of a property name, when some instance has it.
  std::optional<TNameId> FindName(const std::string& name) const;
  // Null when the instance has no property of that name.
  std::optional<TPropertyRef> FindProperty(TInstanceIndex instance, TNameId name) const;
  // Every property, decoded, in the order added.
  std::vector<TProperty> Properties(TInstanceIndex instance) const;
  // The instances associated with this one, in association order.
  const std::pmr::vector<std::uint32_t>& Associated(TInstanceIndex instance) const;
  const std::optional<std::uint16_t>& OperatingSystemType() const { return m_osType; }
  const std::optional<TZARNStatusCode>& OperatingSystemTypeFault() const { return m_osTypeFault; }
  const std::optional<TCollectionRecord>& Collection() const { return m_collection; }

 private:
  struct TInstance {
    unsigned char* properties;  // one after another, as TPropertyWriter writes them
    std::uint32_t propertyBytes;
    std::uint32_t classIndex;
  };

  // Room for size more bytes at the end of the instance's properties.
  unsigned char* Append(TInstanceIndex instance, std::size_t size);
  static TPropertyRef RefAt(const unsigned char* tag);

  TInventory* m_namesOf = nullptr;  // a part's whole
  EPropertyValues m_values;
  TArena m_arena;
  // The tables below lie in arenas as well, so that an inventory is let go
  // without touching each of their entries: in a parent that loads for
  // its children, each such write after a fork costs a copy of the page.
  // Names have an arena of their own, as the thread of a part interns
  // names while this one fills m_arena.
  TArenaResource m_tables{m_arena};
  TArena m_namesArena;
  TArenaResource m_namesTables{m_namesArena};
  // A part's instance records, let go once its instances have joined the
  // whole's; a whole keeps them with its properties.
  TArena m_partRecords;
  TArena& m_records = m_namesOf ? m_partRecords : m_arena;
  std::vector<std::unique_ptr<TClass>> m_classes;  // never moving, as the repository points to them
  std::unordered_map<std::string, std::size_t> m_classByName;
  TSegmentedArray<TInstance> m_instances;
  std::mutex m_namesLock;
  std::pmr::vector<std::string_view> m_names{&m_namesTables};
  std::pmr::unordered_map<std::string_view, TNameId> m_nameIds{&m_namesTables};
  std::pmr::unordered_map<std::string_view, std::uint32_t> m_instanceById{&m_tables};
  std::pmr::unordered_map<std::uint32_t, std::string_view> m_idOfInstance{&m_tables};
  std::pmr::unordered_map<std::uint32_t, std::pmr::vector<std::uint32_t>> m_associated{&m_tables};
  std::size_t m_associationCount = 0;
  std::optional<std::uint16_t> m_osType;
  std::optional<TZARNStatusCode> m_osTypeFault;
  std::optional<TCollectionRecord> m_collection;
};

}  // namespace NZARNCORE
