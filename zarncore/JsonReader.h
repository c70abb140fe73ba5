#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#define ZARN_SSE2 1
#endif

namespace NZARNCORE {

#if defined(ZARN_SSE2)
// A bit for each of the sixteen bytes at p that is a quote, a backslash, a
// control character or part of a multi-byte character.
inline unsigned SpecialStringBytes(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Signed, bytes of 0x80 and above compare below a blank.
  const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))),
                                       _mm_cmplt_epi8(bytes, _mm_set1_epi8(' ')));
  return static_cast<unsigned>(_mm_movemask_epi8(special));
}
#endif

// Where JSON text comes from, a piece at a time.
class IByteSource {
 public:
  virtual ~IByteSource() = default;
  // Up to size bytes into buffer; 0 at the end of the text.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// A JSON number as written.
struct TJsonNumber {
  std::string_view text;
  bool integer;  // neither a fraction nor an exponent
  bool negative;
  // The integer's magnitude, when it is at most 2^64 - 1 for a positive
  // integer and 2^63 for a negative one.
  bool fits;
  std::uint64_t magnitude;

  // The nearest double; infinite beyond the range of doubles.
  double Real() const;
};

// Reads JSON text a token at a time through a window onto the source, which
// is refilled a mebibyte at a time as it is used up, so the text is never
// held whole. A token always lies whole in the window, which grows for a
// token longer than itself. Syntax errors throw TInventoryError with the
// source name, line and column (columns count characters).
class TJsonReader {
 public:
  static constexpr int kEnd = -1;

  TJsonReader(const std::string& source, IByteSource& input);
  ~TJsonReader();
  TJsonReader(const TJsonReader&) = delete;
  TJsonReader& operator=(const TJsonReader&) = delete;

  // Skips blanks and returns the next byte without taking it, or kEnd at
  // the end of the text.
  int Peek() {
    if (m_end - m_pos >= 2) {
      if (static_cast<unsigned char>(m_pos[0]) > ' ') return static_cast<unsigned char>(m_pos[0]);
      // One blank, as after a colon or a comma.
      if (m_pos[0] == ' ' && static_cast<unsigned char>(m_pos[1]) > ' ') {
        return static_cast<unsigned char>(*++m_pos);
      }
    }
    return PeekPastBlanks();
  }
  // Takes the byte Peek returned.
  void Skip() { ++m_pos; }
  // Takes c when it is what comes next.
  bool Take(char c) {
    if (Peek() != static_cast<unsigned char>(c)) return false;
    ++m_pos;
    return true;
  }
  // Takes c, or fails on what comes instead.
  void Expect(char c) {
    if (!Take(c)) Unexpected();
  }

  // The string Peek found, unescaped; valid until the next call.
  std::string_view String() {
#if defined(ZARN_SSE2)
    // Most keys and many values end within the next sixteen bytes.
    if (m_end - m_pos > 16) {
      const unsigned special = SpecialStringBytes(m_pos + 1);
      if (special != 0) {
        const unsigned length = static_cast<unsigned>(__builtin_ctz(special));
        if (m_pos[1 + length] == '"') {
          const std::string_view text(m_pos + 1, length);
          m_pos += length + 2;
          return text;
        }
      }
    }
#endif
    return LongString();
  }
  // The number Peek found; its text is valid until the next call.
  TJsonNumber Number();
  enum ELiteral { eTrue, eFalse, eNull };
  // The literal Peek found.
  ELiteral Literal();

  // A syntax error on the next byte, which Peek returned, or on the end of
  // the text.
  [[noreturn]] void Unexpected() { UnexpectedAt(0); }
  // An error at the next byte, which Peek returned.
  [[noreturn]] void FailOnNext(const std::string& message) const { Fail(m_pos, message); }
  // An error at the end of the text.
  [[noreturn]] void FailAtEnd(const std::string& message) const { Fail(m_end, message); }

 private:
  int PeekPastBlanks();
  std::string_view LongString();
  // The byte at m_pos + offset, reading more when the window ends there;
  // kEnd past the end of the text.
  int At(std::size_t offset) {
    if (static_cast<std::size_t>(m_end - m_pos) > offset) {
      return static_cast<unsigned char>(m_pos[offset]);
    }
    return AtAfterRefill(offset);
  }
  int AtAfterRefill(std::size_t offset);
  // Whether the window holds size bytes from m_pos, reading more if needed.
  bool Have(std::size_t size);
  // Moves the bytes from m_pos on to the front of the window and reads
  // more after them; false at the end of the text.
  bool Refill();

  std::size_t PlainRun(std::size_t offset);
  std::size_t Utf8Sequence(std::size_t offset);
  std::string_view Escaped(std::size_t offset);
  std::size_t Escape(std::size_t offset);
  unsigned HexEscape(std::size_t offset);
  bool ShortInteger(TJsonNumber& number);
  void NumberDigits(TJsonNumber& number, std::size_t& offset, std::int64_t& bias);
  void Exponent(std::size_t& offset, std::int64_t bias);

  [[noreturn]] void UnexpectedAt(std::size_t offset);
  [[noreturn]] void Fail(const char* at, const std::string& message) const;
  std::string Position(const char* at) const;

  const std::string& m_source;
  IByteSource& m_input;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_capacity;
  const char* m_pos;
  const char* m_end;
  bool m_ended = false;
  // Where the current line starts in the window, and the characters of it
  // that went before the window.
  std::size_t m_line = 1;
  const char* m_lineStart;
  std::size_t m_columnsBefore = 0;
  std::string m_unescaped;
};

}  // namespace NZARNCORE
