#include "zarncore/Inventory.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "zarncore/CIMTypes.h"

namespace NZARNCORE {

namespace {

typedef TPropertyWriter::EState EState;
constexpr EState eValue = TPropertyWriter::eValue;
constexpr EState eNull = TPropertyWriter::eNull;
constexpr EState eLookupFault = TPropertyWriter::eLookupFault;
constexpr EState eValueFault = TPropertyWriter::eValueFault;

ECIMType TypeOf(unsigned tag) { return static_cast<ECIMType>(tag & TPropertyWriter::kTypeBits); }
EState StateOf(unsigned tag) { return static_cast<EState>(tag >> TPropertyWriter::kStateShift); }

std::uint64_t GetVarint(const unsigned char*& in) {
  std::uint64_t number = *in & 0x7F;
  for (unsigned shift = 7; *in++ & 0x80; shift += 7) number |= std::uint64_t(*in & 0x7F) << shift;
  return number;
}

std::int64_t UnZigZag(std::uint64_t number) {
  return static_cast<std::int64_t>(number >> 1) ^ -static_cast<std::int64_t>(number & 1);
}

// How the payload after each tag is laid out: a fixed number of bytes (0
// to 8), a varint, or a varint length and that many bytes.
constexpr unsigned char kVarint = 0x40;
constexpr unsigned char kCounted = 0x80;

constexpr unsigned char PayloadLayout(unsigned tag) {
  const unsigned type = tag & TPropertyWriter::kTypeBits;
  const unsigned state = tag >> TPropertyWriter::kStateShift;
  if (state == eNull) return 0;
  if (state != eValue) return kVarint;
  if (type == NQELZARN20::eCIMTypeBoolean) return 1;
  if (type == NQELZARN20::eCIMTypeReal32) return 4;
  if (type == NQELZARN20::eCIMTypeReal64) return 8;
  if (type >= NQELZARN20::eCIMTypeUInt8 && type <= NQELZARN20::eCIMTypeSInt64) return kVarint;
  return kCounted;
}

struct TPayloadLayouts {
  unsigned char of[64];
  constexpr TPayloadLayouts() : of() {
    for (unsigned tag = 0; tag < 64; ++tag) of[tag] = PayloadLayout(tag);
  }
};
constexpr TPayloadLayouts kLayouts;

// The first byte after the payload that follows the tag at p.
const unsigned char* SkipPayload(const unsigned char* p) {
  const unsigned char layout = kLayouts.of[*p++];
  if (layout == kVarint) {
    while (*p++ & 0x80) {
    }
    return p;
  }
  if (layout == kCounted) {
    const std::uint64_t length = GetVarint(p);
    return p + length;
  }
  return p + layout;
}

TCIMValue DecodeValue(const unsigned char* p) {
  const unsigned tag = *p++;
  const ECIMType type = TypeOf(tag);
  if (StateOf(tag) != eValue) return TCIMValue::Null(StateOf(tag) == eNull ? type : ECIMType());
  if (type == NQELZARN20::eCIMTypeBoolean) return TCIMValue::Boolean(*p != 0);
  if (type == NQELZARN20::eCIMTypeReal32) {
    float number;
    std::memcpy(&number, p, sizeof number);
    return TCIMValue::Real(type, number);
  }
  if (type == NQELZARN20::eCIMTypeReal64) {
    double number;
    std::memcpy(&number, p, sizeof number);
    return TCIMValue::Real(type, number);
  }
  const std::uint64_t number = GetVarint(p);
  if (IsUnsignedType(type)) return TCIMValue::Unsigned(type, number);
  if (IsSignedType(type)) return TCIMValue::Signed(type, UnZigZag(number));
  return TCIMValue::Text(type, std::string(reinterpret_cast<const char*>(p), number));
}

// A copy of the text that lives as long as the memory's arena.
std::string_view Stored(std::pmr::memory_resource& memory, std::string_view text) {
  char* const copy = static_cast<char*>(memory.allocate(text.size(), 1));
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  return std::string_view(copy, text.size());
}

EPropertyFault FaultOf(EState state) {
  if (state == eLookupFault) return EPropertyFault::Lookup;
  return state == eValueFault ? EPropertyFault::Value : EPropertyFault::None;
}

}  // namespace

TCIMValue TInventory::TPropertyRef::Value() const { return DecodeValue(m_value); }

std::size_t TInventory::AddClass(const std::string& name) {
  m_classes.push_back(std::make_unique<TClass>(TClass{name, EClassFault::None, 0, 0, {}}));
  m_classByName.emplace(name, m_classes.size() - 1);
  return m_classes.size() - 1;
}

void TInventory::AddClassFault(const std::string& name, EClassFault where, TZARNStatusCode status) {
  TClass& added = *m_classes[AddClass(name)];
  added.fault = where;
  added.faultStatus = status;
}

TInventory::TInstanceIndex TInventory::AddInstance(std::size_t classIndex) {
  const TInstanceIndex index = m_instances.size();
  if (index == kMaxInstances) throw std::length_error("too many instances");
  m_instances.push_back(m_records, TInstance{nullptr, 0, static_cast<std::uint32_t>(classIndex)});
  m_classes[classIndex]->instances.push_back(m_records, static_cast<std::uint32_t>(index));
  return index;
}

void TInventory::SetInstanceId(TInstanceIndex instance, std::string_view id) {
  const std::string_view stored = Stored(m_tables, id);
  m_instanceById.emplace(stored, static_cast<std::uint32_t>(instance));
  m_idOfInstance[static_cast<std::uint32_t>(instance)] = stored;
}

TInventory::TInterned TInventory::InternName(std::string_view name) {
  if (m_namesOf) return m_namesOf->InternName(name);
  // A loader asks only for a name its guess missed, so the lock is seldom
  // taken.
  const std::lock_guard<std::mutex> lock(m_namesLock);
  const auto found = m_nameIds.find(name);
  if (found != m_nameIds.end()) return TInterned{found->second, found->first};
  const TNameId id = static_cast<TNameId>(m_names.size());
  const std::string_view stored = Stored(m_namesTables, name);
  m_names.push_back(stored);
  m_nameIds.emplace(stored, id);
  return TInterned{id, stored};
}

unsigned char* TInventory::Append(TInstanceIndex instance, std::size_t size) {
  TInstance& record = m_instances[instance];
  if (size > kMaxPropertyBytes - record.propertyBytes) {
    throw std::length_error("an instance's properties exceed 4 GiB");
  }
  record.properties = m_arena.Extend(record.properties, record.propertyBytes, size);
  unsigned char* const out = record.properties + record.propertyBytes;
  record.propertyBytes += static_cast<std::uint32_t>(size);
  return out;
}

void TInventory::AddProperties(TInstanceIndex instance, const TPropertyWriter& properties) {
  if (properties.Size() != 0 && m_values == EPropertyValues::Kept)
    std::memcpy(Append(instance, properties.Size()), properties.Data(), properties.Size());
  if (properties.Faults() != 0) {
    m_classes[m_instances[instance].classIndex]->propertyFaults += properties.Faults();
  }
}

bool TInventory::TakeInstances(std::size_t classIndex, TInventory& part) {
  const TClass& taken = *part.m_classes.at(0);
  if (taken.instances.size() > kMaxInstances - m_instances.size()) return false;
  TClass& joined = *m_classes[classIndex];
  for (std::size_t i = 0; i < part.m_instances.size(); ++i) {
    TInstance instance = part.m_instances[i];
    instance.classIndex = static_cast<std::uint32_t>(classIndex);
    joined.instances.push_back(m_records, static_cast<std::uint32_t>(m_instances.size()));
    m_instances.push_back(m_records, instance);
  }
  joined.propertyFaults += taken.propertyFaults;
  m_arena.Adopt(part.m_arena);
  return true;
}

void TInventory::Associate(TInstanceIndex first, TInstanceIndex second) {
  m_associated[static_cast<std::uint32_t>(first)].push_back(static_cast<std::uint32_t>(second));
  m_associated[static_cast<std::uint32_t>(second)].push_back(static_cast<std::uint32_t>(first));
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

void TInventory::SetCollection(TCollectionRecord record) { m_collection = std::move(record); }

const TInventory::TClass* TInventory::FindClass(const std::string& name) const {
  const auto found = m_classByName.find(name);
  return found == m_classByName.end() ? nullptr : m_classes[found->second].get();
}

std::optional<TInventory::TInstanceIndex> TInventory::FindInstanceById(std::string_view id) const {
  const auto found = m_instanceById.find(id);
  if (found == m_instanceById.end()) return std::nullopt;
  return TInstanceIndex(found->second);
}

std::size_t TInventory::IndexInClass(TInstanceIndex instance) const {
  // A class lists its instances in the order they were added, so by index.
  const TSegmentedArray<std::uint32_t>& list = Class(ClassOf(instance)).instances;
  // An inventory lists a class's instances together, so they follow its
  // first without a gap, and each logged line that names one finds it at
  // once: a search over a million event records was a twentieth of the
  // analysis of a flooded log.
  const std::size_t guess = instance - list[0];
  if (guess < list.size() && list[guess] == instance) return guess;
  std::size_t low = 0;
  std::size_t high = list.size();
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    if (list[middle] <= instance) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return low;
}

std::string_view TInventory::Id(TInstanceIndex instance) const {
  const auto found = m_idOfInstance.find(static_cast<std::uint32_t>(instance));
  return found == m_idOfInstance.end() ? std::string_view() : found->second;
}

std::string TInventory::Label(TInstanceIndex instance) const {
  std::string label;
  AppendLabel(label, instance);
  return label;
}

void TInventory::AppendLabel(std::string& out, TInstanceIndex instance) const {
  const std::string_view id = Id(instance);
  if (!id.empty()) {
    out += id;
    return;
  }
  out += Class(ClassOf(instance)).name;
  out += '[';
  char digits[24];
  const char* const end = std::to_chars(digits, digits + sizeof digits, IndexInClass(instance)).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
  out += ']';
}

std::optional<TInventory::TNameId> TInventory::FindName(const std::string& name) const {
  const auto found = m_nameIds.find(name);
  if (found == m_nameIds.end()) return std::nullopt;
  return found->second;
}

TInventory::TPropertyRef TInventory::RefAt(const unsigned char* tag) {
  TPropertyRef found;
  found.m_value = tag;
  found.m_fault = FaultOf(StateOf(*tag));
  if (found.m_fault != EPropertyFault::None) {
    const unsigned char* status = tag + 1;
    found.m_faultStatus = static_cast<TZARNStatusCode>(UnZigZag(GetVarint(status)));
  }
  return found;
}

std::optional<TInventory::TPropertyRef> TInventory::FindProperty(TInstanceIndex instance,
                                                                 TNameId name) const {
  const TInstance& record = m_instances[instance];
  const unsigned char* p = record.properties;
  const unsigned char* const end = p + record.propertyBytes;
  while (p != end) {
    // Most names are numbered below 128, in one byte.
    const TNameId stored = *p < 0x80 ? *p++ : static_cast<TNameId>(GetVarint(p));
    if (stored == name) return RefAt(p);
    p = SkipPayload(p);
  }
  return std::nullopt;
}

std::vector<TInventory::TProperty> TInventory::Properties(TInstanceIndex instance) const {
  std::vector<TProperty> properties;
  const TInstance& record = m_instances[instance];
  const unsigned char* p = record.properties;
  const unsigned char* const end = p + record.propertyBytes;
  while (p != end) {
    const std::string_view name = m_names[static_cast<TNameId>(GetVarint(p))];
    const TPropertyRef property = RefAt(p);
    properties.push_back(
        TProperty{std::string(name), property.Value(), property.Fault(), property.FaultStatus()});
    p = SkipPayload(p);
  }
  return properties;
}

const std::pmr::vector<std::uint32_t>& TInventory::Associated(TInstanceIndex instance) const {
  static const std::pmr::vector<std::uint32_t> kNone;
  const auto found = m_associated.find(static_cast<std::uint32_t>(instance));
  return found == m_associated.end() ? kNone : found->second;
}

}  // namespace NZARNCORE
