#include "zarncore/loader/TypedValues.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <system_error>

#include "zarncore/Text.h"
#include "zarncore/loader/LoadErrors.h"

namespace NZARNCORE {

namespace {

// In type code order: kTypeForms[code - 1].
constexpr TTypeForm kTypeForms[] = {
    {TypeName(NQELZARN20::eCIMTypeBoolean), NQELZARN20::eCIMTypeBoolean, EValueKind::Boolean},
    {TypeName(NQELZARN20::eCIMTypeUInt8), NQELZARN20::eCIMTypeUInt8, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeSInt8), NQELZARN20::eCIMTypeSInt8, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeUInt16), NQELZARN20::eCIMTypeUInt16, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeSInt16), NQELZARN20::eCIMTypeSInt16, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeUInt32), NQELZARN20::eCIMTypeUInt32, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeSInt32), NQELZARN20::eCIMTypeSInt32, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeUInt64), NQELZARN20::eCIMTypeUInt64, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeSInt64), NQELZARN20::eCIMTypeSInt64, EValueKind::Integer},
    {TypeName(NQELZARN20::eCIMTypeReal32), NQELZARN20::eCIMTypeReal32, EValueKind::Real},
    {TypeName(NQELZARN20::eCIMTypeReal64), NQELZARN20::eCIMTypeReal64, EValueKind::Real},
    {TypeName(NQELZARN20::eCIMTypeChar16), NQELZARN20::eCIMTypeChar16, EValueKind::String},
    {TypeName(NQELZARN20::eCIMTypeString), NQELZARN20::eCIMTypeString, EValueKind::String},
    {TypeName(NQELZARN20::eCIMTypeDateTime), NQELZARN20::eCIMTypeDateTime, EValueKind::String},
};

constexpr bool IsDateTimeDigit(char c) { return (c >= '0' && c <= '9') || c == '*'; }

}  // namespace

const TTypeForm& Form(ECIMType type) { return kTypeForms[type - 1]; }

std::string KindText(EValueKind kind) {
  switch (kind) {
    case EValueKind::String:
      return "a string";
    case EValueKind::Integer:
      return "an integer";
    case EValueKind::Real:
      return "a real number";
    case EValueKind::Boolean:
      return "a boolean";
    case EValueKind::Null:
      return "null";
    case EValueKind::Object:
      return "an object";
    case EValueKind::Array:
      break;
  }
  return "an array";
}

const TTypeForm* FindForm(std::string_view name) {
  const auto found = std::find_if(std::begin(kTypeForms), std::end(kTypeForms),
                                  [&](const TTypeForm& form) { return form.name == name; });
  return found == std::end(kTypeForms) ? nullptr : found;
}

std::string UnknownTypeMessage(std::string_view name) {
  std::string message = "unknown type " + Quoted(name) + " (expected one of ";
  for (const TTypeForm& form : kTypeForms) {
    if (&form != kTypeForms) message += ", ";
    message += form.name;
  }
  return message + ")";
}

std::string AcceptedText(const TTypeForm& form) {
  switch (form.accepts) {
    case EValueKind::Boolean:
      return "true or false";
    case EValueKind::Integer:
      return "an integer";
    case EValueKind::Real:
      return "a number";
    default:
      return "a string";
  }
}

double TNumber::Real() const {
  if (kind == eInt64) return static_cast<double>(int64);
  if (kind == eUInt64) return static_cast<double>(uint64);
  double value = parsed;
  if (text.size() == length) {
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + length, value);
    if (read.ec == std::errc::result_out_of_range) value = parsed;
  }
  return value;
}

std::string TNumber::Shown() const { return NZARNCORE::Shown(text, length, ""); }

bool HasFractionOrExponent(std::string_view text) {
  return text.find_first_of(".eE") != std::string_view::npos;
}

// Why text is no char16, or empty: one character of one UTF-16 code unit.
std::string Char16Problem(std::string_view text) {
  if (text.empty() || Utf8SequenceLength(text, 0) != text.size()) {
    return "expected exactly one character for char16, got " + Quoted(text);
  }
  if (text.size() == 4) return Quoted(text) + " does not fit char16 (two UTF-16 code units)";
  return std::string();
}

struct TDateTimeDigits {
  bool is[256];
  constexpr TDateTimeDigits() : is() {
    for (unsigned byte = 0; byte < 256; ++byte) is[byte] = IsDateTimeDigit(static_cast<char>(byte));
  }
};
constexpr TDateTimeDigits kDateTimeDigits;

// Whether the bytes [from, to) of text are each a digit or '*'.
bool DateTimeDigits(std::string_view text, std::size_t from, std::size_t to) {
  bool digits = true;
  for (std::size_t offset = from; offset < to; ++offset)
    digits &= kDateTimeDigits.is[static_cast<unsigned char>(text[offset])];
  return digits;
}

// Whether text has the form of a CIM datetime; DateTimeProblem says why not.
// Every record of an event log holds one: the three runs of digits are
// checked without a branch per character, which took a twelfth of a load.
bool IsDateTime(std::string_view text) {
  if (text.size() != 25 || text[14] != '.') return false;
  if (text[21] != '+' && text[21] != '-' && text[21] != ':') return false;
  return DateTimeDigits(text, 0, 14) & DateTimeDigits(text, 15, 21) & DateTimeDigits(text, 22, 25);
}

// Why text is no CIM datetime: yyyymmddhhmmss.mmmmmm then the UTC offset in
// minutes with its sign, or ddddddddhhmmss.mmmmmm:000 for an interval; '*'
// stands for a digit that is not known. Lengths and offsets count
// characters.
std::string DateTimeProblem(std::string_view text) {
  const auto problem = [&](const std::string& what) {
    return "bad datetime " + Quoted(text) + ": " + what;
  };
  const std::size_t characters = CharacterCount(text);
  if (characters != 25) {
    return problem("expected 25 characters, got " + std::to_string(characters));
  }
  std::size_t offset = 0;
  for (std::size_t at = 0; at < text.size();
       at += std::max<std::size_t>(1, Utf8SequenceLength(text, at)), ++offset) {
    const char c = text[at];
    if (offset == 14 && c != '.') return problem("expected '.' at offset 14");
    if (offset == 21 && c != '+' && c != '-' && c != ':') {
      return problem("expected '+', '-' or ':' at offset 21");
    }
    if (offset != 14 && offset != 21 && !IsDateTimeDigit(c)) {
      return problem("expected a digit or '*' at offset " + std::to_string(offset));
    }
  }
  return std::string();
}

}  // namespace NZARNCORE
