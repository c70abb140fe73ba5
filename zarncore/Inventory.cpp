#include "zarncore/Inventory.h"

#include <algorithm>

namespace NZARNCORE {

std::size_t TInventory::AddClass(const std::string& name) {
  m_classes.push_back(TClass{name, EClassFault::None, 0, {}});
  m_classByName.emplace(name, m_classes.size() - 1);
  return m_classes.size() - 1;
}

void TInventory::AddClassFault(const std::string& name, EClassFault where, TZARNStatusCode status) {
  TClass& added = m_classes[AddClass(name)];
  added.fault = where;
  added.faultStatus = status;
}

TInventory::TInstanceIndex TInventory::AddInstance(std::size_t classIndex, const std::string& id) {
  TClass& owner = m_classes[classIndex];
  const TInstanceIndex index = m_instances.size();
  m_instances.push_back(TInstance{classIndex, owner.instances.size(), id, {}, {}});
  owner.instances.push_back(index);
  if (!id.empty()) m_instanceById.emplace(id, index);
  return index;
}

void TInventory::SetInstanceId(TInstanceIndex instance, const std::string& id) {
  m_instances[instance].id = id;
  m_instanceById.emplace(id, instance);
}

void TInventory::AddProperty(TInstanceIndex instance, const std::string& name,
                             const TCIMValue& value) {
  m_instances[instance].properties.push_back(TProperty{name, value, EPropertyFault::None, 0});
}

void TInventory::AddPropertyFault(TInstanceIndex instance, const std::string& name,
                                  EPropertyFault where, TZARNStatusCode status) {
  m_instances[instance].properties.push_back(TProperty{name, TCIMValue(), where, status});
}

void TInventory::Associate(TInstanceIndex first, TInstanceIndex second) {
  m_instances[first].associated.push_back(second);
  m_instances[second].associated.push_back(first);
  ++m_associationCount;
}

void TInventory::SetOperatingSystemType(std::uint16_t type) {
  m_osType = type;
  m_osTypeFault.reset();
}

void TInventory::SetOperatingSystemTypeFault(TZARNStatusCode status) {
  m_osTypeFault = status;
  m_osType.reset();
}

const TInventory::TClass* TInventory::FindClass(const std::string& name) const {
  const auto found = m_classByName.find(name);
  return found == m_classByName.end() ? nullptr : &m_classes[found->second];
}

boost::optional<TInventory::TInstanceIndex> TInventory::FindInstanceById(
    const std::string& id) const {
  const auto found = m_instanceById.find(id);
  if (found == m_instanceById.end()) return boost::none;
  return found->second;
}

bool TInventory::HasProperty(TInstanceIndex instance, const std::string& name) const {
  const std::vector<TProperty>& properties = m_instances[instance].properties;
  return std::any_of(properties.begin(), properties.end(),
                     [&](const TProperty& property) { return property.name == name; });
}

std::string TInventory::Label(TInstanceIndex index) const {
  const TInstance& instance = m_instances[index];
  if (!instance.id.empty()) return instance.id;
  return m_classes[instance.classIndex].name + "[" + std::to_string(instance.indexInClass) + "]";
}

}  // namespace NZARNCORE
