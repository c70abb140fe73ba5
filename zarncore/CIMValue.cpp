#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "host/CIMValue.h"
#include "host/ZARNException.h"

namespace NQELZARN20 {
namespace {

bool IsUnsignedType(ECIMType type) {
  return type == eCIMTypeUInt8 || type == eCIMTypeUInt16 || type == eCIMTypeUInt32 ||
         type == eCIMTypeUInt64;
}

bool IsSignedType(ECIMType type) {
  return type == eCIMTypeSInt8 || type == eCIMTypeSInt16 || type == eCIMTypeSInt32 ||
         type == eCIMTypeSInt64;
}

bool IsTextType(ECIMType type) {
  return type == eCIMTypeString || type == eCIMTypeChar16 || type == eCIMTypeDateTime;
}

std::uint64_t UnsignedLimit(ECIMType type) {
  switch (type) {
    case eCIMTypeUInt8:
      return std::numeric_limits<std::uint8_t>::max();
    case eCIMTypeUInt16:
      return std::numeric_limits<std::uint16_t>::max();
    case eCIMTypeUInt32:
      return std::numeric_limits<std::uint32_t>::max();
    default:
      return std::numeric_limits<std::uint64_t>::max();
  }
}

std::int64_t SignedLimit(ECIMType type) {
  switch (type) {
    case eCIMTypeSInt8:
      return std::numeric_limits<std::int8_t>::max();
    case eCIMTypeSInt16:
      return std::numeric_limits<std::int16_t>::max();
    case eCIMTypeSInt32:
      return std::numeric_limits<std::int32_t>::max();
    default:
      return std::numeric_limits<std::int64_t>::max();
  }
}

void Require(bool condition) {
  if (!condition) throw TZARNException(kZARNStatusBadArgument);
}

std::string DigitsInBase(std::uint64_t magnitude, int base) {
  char buffer[72];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, base);
  return std::string(buffer, result.ptr);
}

template <class TReal>
std::string ShortestText(TReal value) {
  char buffer[64];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

TCIMValue::TCIMValue() : m_type(eCIMTypeNull), m_null(true), m_unsigned(0) {}

TCIMValue::TCIMValue(const std::string& text)
    : m_type(eCIMTypeString), m_null(false), m_unsigned(0), m_text(text) {}

TCIMValue::TCIMValue(const char* text) : TCIMValue(std::string(text)) {}

TCIMValue::TCIMValue(const TCIMValue& other) = default;
TCIMValue::TCIMValue(TCIMValue&& other) noexcept = default;
TCIMValue& TCIMValue::operator=(const TCIMValue& other) = default;
TCIMValue& TCIMValue::operator=(TCIMValue&& other) noexcept = default;
TCIMValue::~TCIMValue() = default;

TCIMValue TCIMValue::Null(ECIMType type) {
  Require(type >= eCIMTypeNull && type <= eCIMTypeDateTime);
  TCIMValue value;
  value.m_type = type;
  return value;
}

TCIMValue TCIMValue::Boolean(bool flag) {
  TCIMValue value;
  value.m_type = eCIMTypeBoolean;
  value.m_null = false;
  value.m_boolean = flag;
  return value;
}

TCIMValue TCIMValue::Unsigned(ECIMType type, std::uint64_t number) {
  Require(IsUnsignedType(type) && number <= UnsignedLimit(type));
  TCIMValue value;
  value.m_type = type;
  value.m_null = false;
  value.m_unsigned = number;
  return value;
}

TCIMValue TCIMValue::Signed(ECIMType type, std::int64_t number) {
  Require(IsSignedType(type));
  const std::int64_t limit = SignedLimit(type);
  Require(number <= limit && number >= -limit - 1);
  TCIMValue value;
  value.m_type = type;
  value.m_null = false;
  value.m_signed = number;
  return value;
}

TCIMValue TCIMValue::Real(ECIMType type, double number) {
  Require(type == eCIMTypeReal64 || type == eCIMTypeReal32);
  Require(std::isfinite(number));
  Require(type == eCIMTypeReal64 || std::fabs(number) <= std::numeric_limits<float>::max());
  TCIMValue value;
  value.m_type = type;
  value.m_null = false;
  value.m_real = type == eCIMTypeReal32 ? static_cast<double>(static_cast<float>(number)) : number;
  return value;
}

TCIMValue TCIMValue::Text(ECIMType type, const std::string& text) {
  Require(IsTextType(type));
  TCIMValue value(text);
  value.m_type = type;
  return value;
}

bool TCIMValue::IsNull() const { return m_null; }

TCIMType TCIMValue::GetType() const { return TCIMType(m_type); }

std::string TCIMValue::ToString(std::uint8_t base) const {
  if (m_null) return std::string();
  if (IsUnsignedType(m_type) || IsSignedType(m_type)) {
    if (base < 2 || base > 36) throw TZARNException(kZARNStatusBadArgument);
    if (IsUnsignedType(m_type)) return DigitsInBase(m_unsigned, base);
    // The magnitude of the most negative number does not fit int64.
    const std::uint64_t magnitude = m_signed < 0 ? 0 - static_cast<std::uint64_t>(m_signed)
                                                 : static_cast<std::uint64_t>(m_signed);
    return (m_signed < 0 ? "-" : "") + DigitsInBase(magnitude, base);
  }
  switch (m_type) {
    case eCIMTypeBoolean:
      return m_boolean ? "true" : "false";
    case eCIMTypeReal32:
      return ShortestText(static_cast<float>(m_real));
    case eCIMTypeReal64:
      return ShortestText(m_real);
    default:
      return m_text;
  }
}

TCIMValue::operator std::uint16_t() const {
  if (m_null || m_type != eCIMTypeUInt16) throw TZARNException(kZARNStatusWrongType);
  return static_cast<std::uint16_t>(m_unsigned);
}

TCIMValue::operator std::string() const { return ToString(10); }

}  // namespace NQELZARN20
