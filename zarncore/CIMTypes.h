#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "host/CIMValue.h"

namespace NZARNCORE {

using NQELZARN20::ECIMType;

inline bool IsUnsignedType(ECIMType type) {
  return type == NQELZARN20::eCIMTypeUInt8 || type == NQELZARN20::eCIMTypeUInt16 ||
         type == NQELZARN20::eCIMTypeUInt32 || type == NQELZARN20::eCIMTypeUInt64;
}

inline bool IsSignedType(ECIMType type) {
  return type == NQELZARN20::eCIMTypeSInt8 || type == NQELZARN20::eCIMTypeSInt16 ||
         type == NQELZARN20::eCIMTypeSInt32 || type == NQELZARN20::eCIMTypeSInt64;
}

inline bool IsTextType(ECIMType type) {
  return type == NQELZARN20::eCIMTypeString || type == NQELZARN20::eCIMTypeChar16 ||
         type == NQELZARN20::eCIMTypeDateTime;
}

// The largest number an integer type holds; the smallest of a signed type is
// its negation minus one.
inline std::uint64_t IntegerTypeMax(ECIMType type) {
  switch (type) {
    case NQELZARN20::eCIMTypeUInt8:
      return std::numeric_limits<std::uint8_t>::max();
    case NQELZARN20::eCIMTypeSInt8:
      return std::numeric_limits<std::int8_t>::max();
    case NQELZARN20::eCIMTypeUInt16:
      return std::numeric_limits<std::uint16_t>::max();
    case NQELZARN20::eCIMTypeSInt16:
      return std::numeric_limits<std::int16_t>::max();
    case NQELZARN20::eCIMTypeUInt32:
      return std::numeric_limits<std::uint32_t>::max();
    case NQELZARN20::eCIMTypeSInt32:
      return std::numeric_limits<std::int32_t>::max();
    case NQELZARN20::eCIMTypeSInt64:
      return std::numeric_limits<std::int64_t>::max();
    default:
      return std::numeric_limits<std::uint64_t>::max();
  }
}

inline bool FitsUnsigned(ECIMType type, std::uint64_t number) {
  return IsUnsignedType(type) ? number <= IntegerTypeMax(type)
                              : IsSignedType(type) && number <= IntegerTypeMax(type);
}

inline bool FitsSigned(ECIMType type, std::int64_t number) {
  if (number >= 0) return FitsUnsigned(type, static_cast<std::uint64_t>(number));
  return IsSignedType(type) && 0 - static_cast<std::uint64_t>(number) <= IntegerTypeMax(type) + 1;
}

// Whether a real type holds the number: real64 any finite one, real32 any
// that rounds to a finite float.
inline bool FitsReal(ECIMType type, double number) {
  if (type == NQELZARN20::eCIMTypeReal64) return std::isfinite(number);
  return type == NQELZARN20::eCIMTypeReal32 && std::fabs(number) < 0x1.ffffffp127;
}

}  // namespace NZARNCORE
