#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zarncore/CIMTypes.h"
#include "zarncore/InventoryFormat.h"

namespace NZARNCORE {

// The kinds of JSON value, as messages name what was found.
enum class EValueKind { String, Integer, Real, Boolean, Null, Object, Array };

// "a string", "an integer", ...
std::string KindText(EValueKind kind);

// A typed value's key: the CIM type and the JSON values it takes.
struct TTypeForm {
  std::string_view name;
  ECIMType type;
  EValueKind accepts;  // String, Integer, Real or Boolean
};

const TTypeForm& Form(ECIMType type);
// Null for a name that is no type.
const TTypeForm* FindForm(std::string_view name);
// "unknown type 'x' (expected one of boolean, ...)".
std::string UnknownTypeMessage(std::string_view name);
// What a typed value of the form takes, for messages: "true or false".
std::string AcceptedText(const TTypeForm& form);

// A JSON number as the parser read it.
struct TNumber {
  enum EKind { eInt64, eUInt64, eOther };
  std::string_view text;  // as written; its first bytes when it came in pieces
  std::size_t length;     // of the whole text
  bool integer;           // neither a fraction nor an exponent
  EKind kind;             // whether it fits 64 bits
  std::int64_t int64;
  std::uint64_t uint64;
  double parsed;  // the parser's nearest double

  bool Fits(ECIMType type) const {
    if (kind == eInt64) return FitsSigned(type, int64);
    return kind == eUInt64 && FitsUnsigned(type, uint64);
  }
  // The nearest double: read again from the whole text, which rounds
  // exactly, unless the text is too long to keep.
  double Real() const;
  // As a message quotes it.
  std::string Shown() const;
};

bool HasFractionOrExponent(std::string_view text);

// Why text is no char16, or empty: one character of one UTF-16 code unit.
std::string Char16Problem(std::string_view text);

// Whether text has the form of a CIM datetime; DateTimeProblem says why not.
bool IsDateTime(std::string_view text);
std::string DateTimeProblem(std::string_view text);

}  // namespace NZARNCORE
