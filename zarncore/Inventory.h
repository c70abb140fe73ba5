#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/optional.hpp>

#include "host/CIMValue.h"
#include "host/ZARNException.h"
#include "host/ZarnApi.h"

namespace NZARNCORE {

using NQELZARN20::TCIMValue;
using NQELZARN20::TZARNStatusCode;

// Where a replayed fault strikes.
enum class EClassFault { None, Lookup, Enumerate };
enum class EPropertyFault { None, Lookup, Value };

// One server's inventory as collectors recorded it: classes with their
// instances in delivery order, typed property values, associations, and the
// faults a host replaying the inventory raises.
class ZARN_API TInventory {
 public:
  typedef std::size_t TInstanceIndex;

  struct TProperty {
    std::string name;
    TCIMValue value;
    EPropertyFault fault;
    TZARNStatusCode faultStatus;
  };

  struct TInstance {
    std::size_t classIndex;
    std::size_t indexInClass;
    std::string id;  // empty when the file gave none
    std::vector<TProperty> properties;
    std::vector<TInstanceIndex> associated;  // in association order
  };

  struct TClass {
    std::string name;
    EClassFault fault;
    TZARNStatusCode faultStatus;
    std::vector<TInstanceIndex> instances;
  };

  // Building. Names and ids must be new; the loader reports clashes with
  // their location before it calls these.
  std::size_t AddClass(const std::string& name);
  void AddClassFault(const std::string& name, EClassFault where, TZARNStatusCode status);
  TInstanceIndex AddInstance(std::size_t classIndex, const std::string& id);
  // For an instance whose $id follows its properties in the file.
  void SetInstanceId(TInstanceIndex instance, const std::string& id);
  void AddProperty(TInstanceIndex instance, const std::string& name, const TCIMValue& value);
  void AddPropertyFault(TInstanceIndex instance, const std::string& name, EPropertyFault where,
                        TZARNStatusCode status);
  void Associate(TInstanceIndex first, TInstanceIndex second);
  void SetOperatingSystemType(std::uint16_t type);
  void SetOperatingSystemTypeFault(TZARNStatusCode status);

  // Reading.
  const TClass* FindClass(const std::string& name) const;
  boost::optional<TInstanceIndex> FindInstanceById(const std::string& id) const;
  bool HasProperty(TInstanceIndex instance, const std::string& name) const;
  const TInstance& Instance(TInstanceIndex index) const { return m_instances[index]; }
  const TClass& Class(std::size_t index) const { return m_classes[index]; }
  std::size_t ClassCount() const { return m_classes.size(); }
  std::size_t InstanceCount() const { return m_instances.size(); }
  std::size_t AssociationCount() const { return m_associationCount; }
  // The name a trace gives the instance: its id, or Class[index].
  std::string Label(TInstanceIndex index) const;
  const boost::optional<std::uint16_t>& OperatingSystemType() const { return m_osType; }
  const boost::optional<TZARNStatusCode>& OperatingSystemTypeFault() const { return m_osTypeFault; }

 private:
  std::vector<TClass> m_classes;
  std::unordered_map<std::string, std::size_t> m_classByName;
  std::vector<TInstance> m_instances;
  std::unordered_map<std::string, TInstanceIndex> m_instanceById;
  std::size_t m_associationCount = 0;
  boost::optional<std::uint16_t> m_osType;
  boost::optional<TZARNStatusCode> m_osTypeFault;
};

}  // namespace NZARNCORE
