#pragma once

#include <cstddef>
#include <string_view>

#include "host/CIMValue.h"

namespace NZARNCORE {

// The inventory file's own words, spelled here once for everything that
// reads or writes the format: the loader, the collectors' writer, the
// fuzzers' and the tests'. docs/inventory-format.md describes them.

// The version of the format that "format" names.
inline constexpr int kFormatVersion = 1;

// The keys of the top-level object.
inline constexpr char kFormatKey[] = "format";
inline constexpr char kOperatingSystemTypeKey[] = "operatingSystemType";
inline constexpr char kClassesKey[] = "classes";
inline constexpr char kAssociationsKey[] = "associations";
inline constexpr char kCollectionKey[] = "collection";

// The keys of the collection record, and of each class it lists ("classes",
// as above, holds those).
inline constexpr char kCollectorKey[] = "collector";
inline constexpr char kVersionKey[] = "version";
inline constexpr char kTimeKey[] = "time";
inline constexpr char kHostKey[] = "host";
inline constexpr char kSourceKey[] = "source";
inline constexpr char kStateKey[] = "state";
inline constexpr char kReasonKey[] = "reason";

// An instance's id, a fault's status and where it strikes: "on" names the
// enumeration of a class, or the value of a property.
inline constexpr char kIdKey[] = "$id";
inline constexpr char kFaultStatusKey[] = "$error";
inline constexpr char kFaultPointKey[] = "on";
inline constexpr char kEnumeratePoint[] = "enumerate";
inline constexpr char kValuePoint[] = "value";

// How a collector fared with one class: it read the class, this kind of
// system has none, it could not read it, or it read only part of it.
enum class ECollectionState { Read, Absent, Unreadable, Partial };

// Each state as the collection record spells it, in the order of
// ECollectionState.
inline constexpr std::string_view kCollectionStateNames[] = {"read", "absent", "unreadable",
                                                             "partial"};

inline constexpr std::string_view StateName(ECollectionState state) {
  return kCollectionStateNames[static_cast<std::size_t>(state)];
}

// The key of a typed value, {"uint16": 645}, for each CIM type but null,
// in type code order: kTypeNames[code - 1].
inline constexpr std::string_view kTypeNames[] = {
    "boolean", "uint8",  "sint8",  "uint16", "sint16", "uint32", "sint32",
    "uint64",  "sint64", "real32", "real64", "char16", "string", "datetime"};

inline constexpr std::string_view TypeName(NQELZARN20::ECIMType type) {
  return kTypeNames[static_cast<std::size_t>(type) - 1];
}

}  // namespace NZARNCORE
