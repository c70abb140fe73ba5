#include <charconv>
#include <utility>

#include "host/CIMValue.h"
#include "host/ZARNException.h"
#include "zarncore/CIMTypes.h"

namespace NQELZARN20 {

using NZARNCORE::IsSignedType;
using NZARNCORE::IsTextType;
using NZARNCORE::IsUnsignedType;

namespace {

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

TCIMValue::TCIMValue(ECIMType type) : m_type(type), m_null(false), m_unsigned(0) {}

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

TCIMValue TCIMValue::Unsigned(ECIMType type, std::uint64_t number) {
  Require(IsUnsignedType(type) && NZARNCORE::FitsUnsigned(type, number));
  TCIMValue value(type);
  value.m_unsigned = number;
  return value;
}

TCIMValue TCIMValue::Boolean(bool flag) {
  TCIMValue value(eCIMTypeBoolean);
  value.m_boolean = flag;
  return value;
}

TCIMValue TCIMValue::Signed(ECIMType type, std::int64_t number) {
  Require(IsSignedType(type) && NZARNCORE::FitsSigned(type, number));
  TCIMValue value(type);
  value.m_signed = number;
  return value;
}

TCIMValue TCIMValue::Text(ECIMType type, const std::string& text) {
  Require(IsTextType(type));
  TCIMValue value(text);
  value.m_type = type;
  return value;
}

TCIMValue TCIMValue::Real(ECIMType type, double number) {
  Require(NZARNCORE::FitsReal(type, number));
  TCIMValue value(type);
  value.m_real = type == eCIMTypeReal32 ? static_cast<double>(static_cast<float>(number)) : number;
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
