#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <boost/json/error.hpp>

namespace NZARNCORE {

// Where the parser is in the text, for the line and column of a syntax
// error; columns count characters. Nothing of the text is kept but its last
// few bytes.
class TTextPosition {
 public:
  // Moves past a piece the parser took whole.
  void Advance(std::string_view piece);
  // The place shift bytes from the offset in the piece the parser is in,
  // as "LINE:COLUMN"; bytes before the offset that a shift passes are ASCII
  // and on its line.
  std::string At(std::string_view piece, std::size_t offset, std::ptrdiff_t shift) const;
  // The last bytes of the text before the offset in the piece.
  std::string Before(std::string_view piece, std::size_t offset) const;

 private:
  static constexpr std::size_t kRecentBytes = 16;

  std::size_t m_line = 1;
  std::size_t m_column = 0;  // characters of the line before the piece
  std::string m_recent;      // the last bytes of the text before the piece
};

// The bytes about the place where the parser stopped: some before it, and
// the rest of the piece from it on.
struct TStop {
  std::string before;
  std::string_view after;

  char At(std::ptrdiff_t shift) const;
  // The backslash of the escape the parser was in; the parser may have
  // stopped at its 'u'.
  std::ptrdiff_t EscapeStart() const;
  // The first of the escape's four digits that is none.
  std::ptrdiff_t BadHexDigit() const;
  // The parser places a misspelt true, false or null at its first letter;
  // the first letter that is wrong is the place.
  std::ptrdiff_t PastLiteral() const;
};

// A syntax error: what is wrong, and where relative to where the parser
// stopped, which is not always the first byte that is wrong.
struct TSyntaxError {
  std::ptrdiff_t shift;
  std::string message;
};

// The parser's error where it stopped, in words; content tells whether the
// text held anything but blanks before.
TSyntaxError Describe(const boost::json::error_code& code, const TStop& stop, bool content);

// Whether the byte is blank between JSON's tokens.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace NZARNCORE
