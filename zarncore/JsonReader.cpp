#include "zarncore/JsonReader.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <limits>
#include <system_error>

#include "zarncore/InventoryLoader.h"

namespace NZARNCORE {
namespace {

// Text is read this much at a time.
constexpr std::size_t kPieceSize = std::size_t(1) << 20;

std::size_t CharacterCount(const char* begin, const char* end) {
  return static_cast<std::size_t>(
      std::count_if(begin, end, [](char byte) { return (byte & 0xC0) != 0x80; }));
}

std::string ByteText(unsigned char byte) {
  if (byte >= 0x80) return "invalid UTF-8";
  if (byte < 0x20) {
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("unexpected control character U+00") + kHex[byte >> 4] + kHex[byte & 15];
  }
  return std::string("unexpected '") + static_cast<char>(byte) + "'";
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// The largest magnitude of a negative integer that fits 64 bits.
constexpr std::uint64_t kMaxNegative = std::uint64_t(1) << 63;

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The first byte of [p, end) that ends a plain run of a string: a quote, a
// backslash, a control character or a byte of a multi-byte character.
const char* PlainRunEnd(const char* p, const char* end) {
#if defined(ZARN_SSE2)
  for (; end - p >= 16; p += 16) {
    const unsigned mask = SpecialStringBytes(p);
    if (mask != 0) return p + __builtin_ctz(mask);
  }
#endif
  for (; p != end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
  }
  return p;
}

// The length of the UTF-8 character that starts with lead, and the range
// of its second byte; 0 for a byte that starts none.
struct TUtf8Lead {
  std::size_t length;
  unsigned char low;
  unsigned char high;
};

TUtf8Lead Utf8Lead(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

void AppendUtf8(std::string& text, unsigned code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The power of ten of a number's leading digit, for a number too large or
// too small for a double.
long long DecimalMagnitude(std::string_view text) {
  std::size_t i = text[0] == '-' ? 1 : 0;
  long long magnitude = -1;
  for (; i < text.size() && IsDigit(text[i]); ++i) ++magnitude;
  if (magnitude == 0 && text[i - 1] == '0' && i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] == '0'; ++i) --magnitude;
    --magnitude;
  }
  const std::size_t exponent = text.find_first_of("eE");
  if (exponent != std::string_view::npos) {
    long long value = 0;
    std::from_chars(text.data() + exponent + 1 + (text[exponent + 1] == '+'),
                    text.data() + text.size(), value);
    magnitude += value;
  }
  return magnitude;
}

}  // namespace

double TJsonNumber::Real() const {
  double value = 0;
  const std::from_chars_result result =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc::result_out_of_range) return value;
  const double limit = DecimalMagnitude(text) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -limit : limit;
}

TJsonReader::TJsonReader(const std::string& source, IByteSource& input)
    : m_source(source),
      m_input(input),
      m_buffer(new char[kPieceSize]),
      m_capacity(kPieceSize),
      m_pos(m_buffer.get()),
      m_end(m_buffer.get()),
      m_lineStart(m_buffer.get()) {
  Refill();
  // Editors on some systems start UTF-8 files with a byte order mark.
  if (m_end - m_pos >= 3 && std::memcmp(m_pos, "\xEF\xBB\xBF", 3) == 0) m_lineStart = m_pos += 3;
}

TJsonReader::~TJsonReader() = default;

bool TJsonReader::Refill() {
  if (m_ended) return false;
  m_columnsBefore += CharacterCount(m_lineStart, m_pos);
  const std::size_t kept = static_cast<std::size_t>(m_end - m_pos);
  // A token longer than half the window doubles it, so that every read
  // brings at least half a window.
  if (kept > m_capacity / 2) {
    std::unique_ptr<char[]> grown(new char[m_capacity * 2]);
    std::memcpy(grown.get(), m_pos, kept);
    m_buffer = std::move(grown);
    m_capacity *= 2;
  } else if (kept != 0) {
    std::memmove(m_buffer.get(), m_pos, kept);
  }
  m_lineStart = m_pos = m_buffer.get();
  m_end = m_pos + kept;
  const std::size_t read = m_input.Read(m_buffer.get() + kept, m_capacity - kept);
  m_end += read;
  m_ended = read == 0;
  return !m_ended;
}

int TJsonReader::PeekPastBlanks() {
  for (;;) {
    for (; m_pos != m_end; ++m_pos) {
      const char c = *m_pos;
      if (c == '\n') {
        ++m_line;
        m_lineStart = m_pos + 1;
        m_columnsBefore = 0;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return static_cast<unsigned char>(c);
      }
    }
    if (!Refill()) return kEnd;
  }
}

int TJsonReader::AtAfterRefill(std::size_t offset) {
  return Have(offset + 1) ? static_cast<unsigned char>(m_pos[offset]) : kEnd;
}

bool TJsonReader::Have(std::size_t size) {
  while (static_cast<std::size_t>(m_end - m_pos) < size) {
    if (!Refill()) return false;
  }
  return true;
}

std::size_t TJsonReader::PlainRun(std::size_t offset) {
  return static_cast<std::size_t>(PlainRunEnd(m_pos + offset, m_end) - m_pos);
}

// Checks the multi-byte character at offset; the offset after it.
std::size_t TJsonReader::Utf8Sequence(std::size_t offset) {
  const TUtf8Lead lead = Utf8Lead(static_cast<unsigned char>(m_pos[offset]));
  if (lead.length == 0) UnexpectedAt(offset);
  if (!Have(offset + lead.length)) UnexpectedAt(static_cast<std::size_t>(m_end - m_pos));
  const unsigned char second = static_cast<unsigned char>(m_pos[offset + 1]);
  bool valid = second >= lead.low && second <= lead.high;
  for (std::size_t i = 2; i < lead.length; ++i) valid = valid && (m_pos[offset + i] & 0xC0) == 0x80;
  if (!valid) UnexpectedAt(offset);
  return offset + lead.length;
}

std::string_view TJsonReader::LongString() {
  std::size_t offset = 1;
  for (;;) {
    offset = PlainRun(offset);
    const int c = At(offset);
    if (c == '"') {
      const std::string_view text(m_pos + 1, offset - 1);
      m_pos += offset + 1;
      return text;
    }
    if (c == '\\') return Escaped(offset);
    if (c >= 0x80) {
      offset = Utf8Sequence(offset);
    } else if (c < 0x20) {
      UnexpectedAt(offset);
    }
  }
}

// The rest of a string from its first escape at offset, unescaped.
std::string_view TJsonReader::Escaped(std::size_t offset) {
  m_unescaped.assign(m_pos + 1, offset - 1);
  for (;;) {
    const std::size_t run = PlainRun(offset);
    m_unescaped.append(m_pos + offset, run - offset);
    offset = run;
    const int c = At(offset);
    if (c == '"') {
      m_pos += offset + 1;
      return m_unescaped;
    }
    if (c == '\\') {
      offset = Escape(offset);
    } else if (c >= 0x80) {
      const std::size_t next = Utf8Sequence(offset);
      m_unescaped.append(m_pos + offset, next - offset);
      offset = next;
    } else if (c < 0x20) {
      UnexpectedAt(offset);
    }
  }
}

// Appends what the escape at offset stands for; the offset after it.
std::size_t TJsonReader::Escape(std::size_t offset) {
  const int c = At(offset + 1);
  switch (c) {
    case '"':
    case '\\':
    case '/':
      m_unescaped += static_cast<char>(c);
      return offset + 2;
    case 'b':
      m_unescaped += '\b';
      return offset + 2;
    case 'f':
      m_unescaped += '\f';
      return offset + 2;
    case 'n':
      m_unescaped += '\n';
      return offset + 2;
    case 'r':
      m_unescaped += '\r';
      return offset + 2;
    case 't':
      m_unescaped += '\t';
      return offset + 2;
    case 'u':
      break;
    default:
      UnexpectedAt(offset + 1);
  }
  const unsigned first = HexEscape(offset + 2);
  std::size_t after = offset + 6;
  if (first < 0xD800 || first > 0xDFFF) {
    AppendUtf8(m_unescaped, first);
    return after;
  }
  if (first > 0xDBFF) Fail(m_pos + after, "unpaired surrogate in a \\u escape");
  if (At(after) != '\\') UnexpectedAt(after);
  if (At(after + 1) != 'u') UnexpectedAt(after + 1);
  const unsigned second = HexEscape(after + 2);
  after += 6;
  if (second < 0xDC00 || second > 0xDFFF) Fail(m_pos + after, "unpaired surrogate in a \\u escape");
  AppendUtf8(m_unescaped, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
  return after;
}

// The four hex digits at offset.
unsigned TJsonReader::HexEscape(std::size_t offset) {
  unsigned code = 0;
  for (std::size_t i = offset; i < offset + 4; ++i) {
    const int c = At(i);
    const int digit = HexValue(c);
    if (c == kEnd) UnexpectedAt(i);
    if (digit < 0) Fail(m_pos + i, "expected a hex digit in a \\u escape");
    code = code * 16 + static_cast<unsigned>(digit);
  }
  return code;
}

// A plain integer of up to nineteen digits well inside the window, the
// common case, read in one pass; false for anything else.
bool TJsonReader::ShortInteger(TJsonNumber& number) {
  const char* const digits = m_pos + (number.negative ? 1 : 0);
  if (m_end - digits < 20 || !IsDigit(digits[0])) return false;
  const char* p = digits;
  std::uint64_t magnitude = 0;
  for (; p != digits + 19 && IsDigit(*p); ++p) magnitude = magnitude * 10 + (*p - '0');
  const char next = *p;
  if (IsDigit(next) || next == '.' || next == 'e' || next == 'E') return false;
  if ((digits[0] == '0' && p != digits + 1) || (number.negative && magnitude > kMaxNegative)) {
    return false;
  }
  number.magnitude = magnitude;
  number.text = std::string_view(m_pos, static_cast<std::size_t>(p - m_pos));
  m_pos = p;
  return true;
}

TJsonNumber TJsonReader::Number() {
  TJsonNumber number{std::string_view(), true, m_pos[0] == '-', true, 0};
  if (ShortInteger(number)) return number;
  std::size_t offset = number.negative ? 1 : 0;
  // How far the decimal point is from the end of the digits kept in the
  // magnitude, as the limit on the exponent counts it.
  std::int64_t bias = 0;
  NumberDigits(number, offset, bias);
  const int c = At(offset);
  if (c == 'e' || c == 'E') {
    number.integer = false;
    Exponent(++offset, bias);
  }
  m_pos += offset;
  number.text = std::string_view(m_pos - offset, offset);
  return number;
}

// The digits before and after the decimal point.
void TJsonReader::NumberDigits(TJsonNumber& number, std::size_t& offset, std::int64_t& bias) {
  const std::uint64_t limit = number.negative ? kMaxNegative : UINT64_MAX;
  int c = At(offset);
  if (!IsDigit(c)) UnexpectedAt(offset);
  if (c == '0') {
    c = At(++offset);
  } else {
    for (; IsDigit(c); c = At(++offset)) {
      const unsigned digit = static_cast<unsigned>(c - '0');
      if (number.fits && number.magnitude <= (limit - digit) / 10) {
        number.magnitude = number.magnitude * 10 + digit;
      } else {
        number.fits = false;
        ++bias;
      }
    }
  }
  if (c != '.') return;
  number.integer = false;
  if (!IsDigit(At(++offset))) UnexpectedAt(offset);
  // Digits after the point count while the magnitude has room for them.
  constexpr std::uint64_t kExact = (std::uint64_t(1) << 53) - 1;
  bool counting = number.fits;
  std::uint64_t kept = number.magnitude;
  for (c = At(offset); IsDigit(c); c = At(++offset)) {
    counting = counting && kept <= kExact;
    if (counting) {
      kept = kept * 10 + static_cast<unsigned>(c - '0');
      --bias;
    }
  }
}

// The exponent from offset, just after its 'e'; the exponent and its
// effect on the decimal point must stay within a signed 32-bit integer.
void TJsonReader::Exponent(std::size_t& offset, std::int64_t bias) {
  int c = At(offset);
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = At(++offset);
  if (!IsDigit(c)) UnexpectedAt(offset);
  std::int64_t exponent = 0;
  for (; IsDigit(c); c = At(++offset)) {
    if (exponent > INT_MAX / 10 || (exponent == INT_MAX / 10 && c > '7')) {
      Fail(m_pos + offset, "number exponent out of range");
    }
    exponent = exponent * 10 + (c - '0');
  }
  if (negative ? bias < INT_MIN + exponent : bias > INT_MAX - exponent) {
    Fail(m_pos + offset, "number exponent out of range");
  }
}

TJsonReader::ELiteral TJsonReader::Literal() {
  static const std::string_view kWords[] = {"true", "false", "null"};
  const ELiteral literal = *m_pos == 't' ? eTrue : *m_pos == 'f' ? eFalse : eNull;
  const std::string_view word = kWords[literal];
  if (Have(word.size())) {
    if (std::memcmp(m_pos, word.data(), word.size()) != 0) UnexpectedAt(0);
    m_pos += word.size();
    return literal;
  }
  // The text ends inside the word: the first byte that differs, or the end.
  std::size_t offset = 1;
  while (At(offset) == static_cast<unsigned char>(word[offset])) ++offset;
  UnexpectedAt(offset);
}

void TJsonReader::UnexpectedAt(std::size_t offset) {
  const int c = At(offset);
  if (c == kEnd) Fail(m_end, "unexpected end of input");
  Fail(m_pos + offset, ByteText(static_cast<unsigned char>(c)));
}

void TJsonReader::Fail(const char* at, const std::string& message) const {
  throw TInventoryError(m_source + ":" + Position(at) + ": " + message);
}

std::string TJsonReader::Position(const char* at) const {
  return std::to_string(m_line) + ":" +
         std::to_string(m_columnsBefore + CharacterCount(m_lineStart, at) + 1);
}

}  // namespace NZARNCORE
