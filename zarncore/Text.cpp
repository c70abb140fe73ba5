#include "zarncore/Text.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace NZARNCORE {
namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Eight bytes at a time: whether any is outside ASCII, or is one a JSON
// string must escape (a control character, '"' or '\\').
constexpr std::uint64_t kEach = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The first byte in the lowest bits, whatever the machine's byte order.
std::uint64_t Word(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// The tests below mark a byte with its high bit. A borrow only runs towards
// the higher bytes, so the lowest byte marked is always one that the test
// is true of; those above it may not be.
std::uint64_t ZeroBytes(std::uint64_t word) { return (word - kEach) & ~word & kHighBits; }

std::size_t LowestMarkedByte(std::uint64_t marks) {
  return static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
}

// A byte a JSON string escapes: '"', '\\' or a control character.
void AppendJsonEscape(std::string& out, char c) {
  static const char kShort[] = "uuuuuuuubtnufruuuuuuuuuuuuuuuuuu";
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20) {
    out += '\\';
    out += c;
  } else if (kShort[byte] != 'u') {
    out += '\\';
    out += kShort[byte];
  } else {
    static const char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
}

std::uint64_t BytesBelowSpace(std::uint64_t word) {
  return (word - kEach * 0x20) & ~word & kHighBits;
}

std::uint64_t BytesToEscape(std::uint64_t word) {
  return BytesBelowSpace(word) | ZeroBytes(word ^ (kEach * '"')) | ZeroBytes(word ^ (kEach * '\\'));
}

std::uint64_t ControlBytes(std::uint64_t word) {
  return BytesBelowSpace(word) | ZeroBytes(word ^ (kEach * 0x7F));
}

// The bytes a look passes over whole stops at.
enum class ECare {
  JsonString,  // those a JSON string escapes, and those outside ASCII
  Control,     // control characters
  NonAscii,
};

template <ECare kCare>
std::uint64_t WordMarks(std::uint64_t word) {
  switch (kCare) {
    case ECare::JsonString:
      return BytesToEscape(word) | (word & kHighBits);
    case ECare::Control:
      return ControlBytes(word);
    case ECare::NonAscii:
      break;
  }
  return word & kHighBits;
}

#if defined(__SSE2__)
// Sixteen bytes at once, each marked in one bit of the result.
template <ECare kCare>
unsigned BlockMarks(const char* at) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  // Compared as signed bytes, those from 0x80 on lie below the space too.
  const __m128i belowSpaceOrHigh = _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20));
  __m128i marked = belowSpaceOrHigh;
  switch (kCare) {
    case ECare::JsonString:
      marked = _mm_or_si128(marked, _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                                 _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))));
      break;
    case ECare::Control:
      marked = _mm_or_si128(_mm_andnot_si128(bytes, belowSpaceOrHigh),
                            _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)));
      break;
    case ECare::NonAscii:
      marked = bytes;
      break;
  }
  return static_cast<unsigned>(_mm_movemask_epi8(marked));
}
#endif

// Where a look from pos on stops: at the first byte that needs care, or
// where fewer bytes are left than a word holds, which the caller takes one
// by one. Sixteen bytes at a time where the processor has the instructions
// for it (every x86-64 has), then eight: a JSONL line of the flooded
// inventory is some 380 bytes, and eight at a time the looks were a third
// of the thread that formats them.
template <ECare kCare>
std::size_t SkipClean(std::string_view text, std::size_t pos) {
#if defined(__SSE2__)
  for (; pos + 16 <= text.size(); pos += 16) {
    const unsigned marks = BlockMarks<kCare>(text.data() + pos);
    if (marks != 0) return pos + static_cast<std::size_t>(__builtin_ctz(marks));
  }
#endif
  for (; pos + 8 <= text.size(); pos += 8) {
    const std::uint64_t marks = WordMarks<kCare>(Word(text.data() + pos));
    if (marks != 0) return pos + LowestMarkedByte(marks);
  }
  return pos;
}

// Where the first byte from pos on lies that a JSON string must escape or
// that is outside ASCII; the text's size when there is none.
std::size_t NextByteToCare(std::string_view text, std::size_t pos) {
  for (pos = SkipClean<ECare::JsonString>(text, pos); pos < text.size(); ++pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x20 || byte >= 0x80 || byte == '"' || byte == '\\') return pos;
  }
  return pos;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The byte range the second byte of a sequence must fall in; it rules out
// overlong forms, surrogates and code points above U+10FFFF.
bool SecondByteFits(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0:
      return second >= 0xA0 && second <= 0xBF;
    case 0xED:
      return second >= 0x80 && second <= 0x9F;
    case 0xF0:
      return second >= 0x90 && second <= 0xBF;
    case 0xF4:
      return second >= 0x80 && second <= 0x8F;
    default:
      return IsContinuation(second);
  }
}

std::size_t ExpectedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Where the first byte from pos on lies that is not part of well-formed
// UTF-8; the text's size when there is none. Runs of ASCII are passed over
// whole: most texts are nothing else.
std::size_t NextInvalidByte(std::string_view text, std::size_t pos) {
  while ((pos = SkipClean<ECare::NonAscii>(text, pos)) < text.size()) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) return pos;
    pos += length;
  }
  return text.size();
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  const std::size_t length = ExpectedLength(lead);
  if (length <= 1) return length;
  if (length > text.size() - pos) return 0;
  if (!SecondByteFits(lead, static_cast<unsigned char>(text[pos + 1]))) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 0;
  }
  return length;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char byte : text) count += IsContinuation(static_cast<unsigned char>(byte)) ? 0 : 1;
  return count;
}

std::string FourHexDigits(unsigned code) {
  const char digits[] = "0123456789ABCDEF";
  std::string hex(4, '0');
  for (int i = 3; i >= 0; --i, code >>= 4) hex[static_cast<std::size_t>(i)] = digits[code & 15];
  return hex;
}

std::string RepairUtf8(std::string_view text) {
  std::string repaired;
  repaired.reserve(text.size());
  for (std::size_t pos = 0;;) {
    const std::size_t bad = NextInvalidByte(text, pos);
    repaired.append(text.substr(pos, bad - pos));
    if (bad == text.size()) return repaired;
    repaired += kReplacement;
    pos = bad + 1;
  }
}

bool IsWellFormedUtf8(std::string_view text) { return NextInvalidByte(text, 0) == text.size(); }

namespace {

void AppendPrintableCharacter(std::string& printable, char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte != 0x7F) {
    printable += c;
  } else if (c == '\n') {
    printable += "\\n";
  } else if (c == '\t') {
    printable += "\\t";
  } else if (c == '\r') {
    printable += "\\r";
  } else {
    printable += "\\u" + FourHexDigits(byte);
  }
}

}  // namespace

// Runs without control characters are copied whole: the text output of the
// flooded inventory spent a sixth of analyze here a byte at a time. The
// byte a run stops at is shown on its own, and so are the last bytes, too
// few for a word.
void AppendPrintable(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t clean = SkipClean<ECare::Control>(text, pos);
    out.append(text.data() + pos, clean - pos);
    const std::size_t end = clean + 8 <= text.size() ? clean + 1 : text.size();
    for (pos = clean; pos < end; ++pos) AppendPrintableCharacter(out, text[pos]);
  }
}

std::string Printable(std::string_view text) {
  std::string printable;
  AppendPrintable(printable, text);
  return printable;
}

std::string Displayed(std::string_view text) { return Printable(RepairUtf8(text)); }

// Written here, not by the JSON library's serializer, because it pays: on
// the flooded inventory's 200,000 lines the serializer took more of analyze
// than the plug-in's event-log check, and runs of eight bytes that need no
// escape are copied whole here. The bytes are the library's: '"', '\\' and
// control characters escaped (\b \t \n \f \r or \u00xx), all else as is;
// the tests hold the two together. Bytes that are no UTF-8 are repaired
// first, as the library would pass them on.
//
// One pass over the text: a byte outside ASCII stops a run as an escape
// does, and must begin a well-formed sequence. Where one does not, what was
// written is taken back and the repaired text written instead. A pass to
// check the text first cost a ninth of the flooded inventory's JSONL
// formatting.
void AppendJsonString(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  out.reserve(start + text.size() + 2);
  out += '"';
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t care = NextByteToCare(text, pos);
    out.append(text.data() + pos, care - pos);
    if (care == text.size()) break;
    if (static_cast<unsigned char>(text[care]) < 0x80) {
      AppendJsonEscape(out, text[care]);
      pos = care + 1;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, care);
    if (length == 0) {
      out.resize(start);
      return AppendJsonString(out, RepairUtf8(text));
    }
    out.append(text.data() + care, length);
    pos = care + length;
  }
  out += '"';
}

std::string ErrorReason(int error) {
  return ErrorReason(std::error_code(error, std::generic_category()));
}

std::string ErrorReason(const std::error_code& error) {
  std::string reason = error.message();
  if (!reason.empty())
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  return reason;
}

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace NZARNCORE
