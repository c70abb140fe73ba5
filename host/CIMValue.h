#pragma once

#include <cstdint>
#include <string>

#include "host/ZarnApi.h"

namespace NQELZARN20 {

// CIM type codes, as the repository reports them.
enum ECIMType {
  eCIMTypeNull = 0,
  eCIMTypeBoolean = 1,
  eCIMTypeUInt8 = 2,
  eCIMTypeSInt8 = 3,
  eCIMTypeUInt16 = 4,
  eCIMTypeSInt16 = 5,
  eCIMTypeUInt32 = 6,
  eCIMTypeSInt32 = 7,
  eCIMTypeUInt64 = 8,
  eCIMTypeSInt64 = 9,
  eCIMTypeReal32 = 10,
  eCIMTypeReal64 = 11,
  eCIMTypeChar16 = 12,
  eCIMTypeString = 13,
  eCIMTypeDateTime = 14
};

class TCIMType {
 public:
  explicit TCIMType(ECIMType code = eCIMTypeNull) : m_code(code) {}
  operator ECIMType() const { return m_code; }

 private:
  ECIMType m_code;
};

// A typed CIM value. Text of integers, reals and booleans is produced on
// demand; string, char16 and datetime values keep their text.
class ZARN_API TCIMValue {
 public:
  TCIMValue();
  TCIMValue(const std::string& text);  // NOLINT: a string value, as CIM texts are
  TCIMValue(const char* text);         // NOLINT: likewise
  TCIMValue(const TCIMValue& other);
  TCIMValue(TCIMValue&& other) noexcept;
  TCIMValue& operator=(const TCIMValue& other);
  TCIMValue& operator=(TCIMValue&& other) noexcept;
  ~TCIMValue();

  // Typed values; each throws TZARNException when the number or text does
  // not fit the type.
  static TCIMValue Null(ECIMType type);
  static TCIMValue Boolean(bool value);
  static TCIMValue Unsigned(ECIMType type, std::uint64_t value);
  static TCIMValue Signed(ECIMType type, std::int64_t value);
  static TCIMValue Real(ECIMType type, double value);
  static TCIMValue Text(ECIMType type, const std::string& text);

  bool IsNull() const;
  TCIMType GetType() const;
  // Integers in the given base (2 to 36); every other type ignores the base.
  std::string ToString(std::uint8_t base) const;
  // The number of a uint16 value; any other value throws TZARNException.
  operator std::uint16_t() const;
  // The same text as ToString(10).
  operator std::string() const;

 private:
  // A value of the type that is not null; the factories set what it holds.
  explicit TCIMValue(ECIMType type);

  ECIMType m_type;
  bool m_null;
  union {
    bool m_boolean;
    std::uint64_t m_unsigned;
    std::int64_t m_signed;
    double m_real;
  };
  std::string m_text;
};

}  // namespace NQELZARN20
