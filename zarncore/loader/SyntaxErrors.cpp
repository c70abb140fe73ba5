#include "zarncore/loader/SyntaxErrors.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "zarncore/Text.h"

namespace NZARNCORE {

namespace {

// Counted in blocks short enough for a byte to hold each block's count, so
// that the compiler counts many bytes at once.
std::size_t CountNewlines(std::string_view text) {
  constexpr std::size_t kBlock = 255;
  std::size_t count = 0;
  for (std::size_t block = 0; block < text.size(); block += kBlock) {
    unsigned char inBlock = 0;
    const std::size_t end = std::min(text.size(), block + kBlock);
    for (std::size_t at = block; at < end; ++at) inBlock += text[at] == '\n' ? 1 : 0;
    count += inBlock;
  }
  return count;
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Where the last \u escape in the text starts, or npos.
std::size_t LastUnicodeEscape(std::string_view text) {
  for (std::size_t at = text.rfind("\\u"); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : text.rfind("\\u", at - 1)) {
    // The backslash starts an escape unless one before it escapes it.
    std::size_t slashes = 1;
    while (slashes <= at && text[at - slashes] == '\\') ++slashes;
    if (slashes % 2 == 1) return at;
  }
  return std::string_view::npos;
}

// Whether the text ends in the escape of a high surrogate.
bool EndsInHighSurrogate(std::string_view text) {
  const std::size_t at = LastUnicodeEscape(text);
  if (at == std::string_view::npos || text.size() - at != 6) return false;
  unsigned code = 0;
  std::from_chars(text.data() + at + 2, text.data() + at + 6, code, 16);
  return code >= 0xD800 && code <= 0xDBFF;
}

std::string ByteText(unsigned char byte) {
  if (byte >= 0x80) return "invalid UTF-8";
  if (byte < 0x20) {
    return "unexpected control character U+" + FourHexDigits(byte);
  }
  return std::string("unexpected '") + static_cast<char>(byte) + "'";
}

const char kEndOfInput[] = "unexpected end of input";
const char kUnpairedSurrogate[] = "unpaired surrogate in a \\u escape";

}  // namespace

void TTextPosition::Advance(std::string_view piece) {
  const std::size_t lastLine = piece.rfind('\n');
  if (lastLine == std::string_view::npos) {
    m_column += CharacterCount(piece);
  } else {
    m_line += CountNewlines(piece);
    m_column = CharacterCount(piece.substr(lastLine + 1));
  }
  const char* const end = piece.data() + piece.size();
  m_recent.append(end - std::min(piece.size(), kRecentBytes), end);
  if (m_recent.size() > kRecentBytes) m_recent.erase(0, m_recent.size() - kRecentBytes);
}

std::string TTextPosition::At(std::string_view piece, std::size_t offset,
                              std::ptrdiff_t shift) const {
  TTextPosition at = *this;
  at.Advance(piece.substr(0, shift > 0 ? offset + static_cast<std::size_t>(shift) : offset));
  const std::size_t back = static_cast<std::size_t>(-std::min<std::ptrdiff_t>(shift, 0));
  return std::to_string(at.m_line) + ":" + std::to_string(at.m_column - back + 1);
}

std::string TTextPosition::Before(std::string_view piece, std::size_t offset) const {
  TTextPosition at = *this;
  at.Advance(piece.substr(0, offset));
  return at.m_recent;
}

char TStop::At(std::ptrdiff_t shift) const {
  if (shift < 0) return before[before.size() - static_cast<std::size_t>(-shift)];
  const std::size_t at = static_cast<std::size_t>(shift);
  return at < after.size() ? after[at] : '\0';
}

std::ptrdiff_t TStop::EscapeStart() const {
  const std::size_t at = LastUnicodeEscape(before + std::string(after.substr(0, 1)));
  if (at == std::string::npos) return 0;
  return static_cast<std::ptrdiff_t>(at) - static_cast<std::ptrdiff_t>(before.size());
}

std::ptrdiff_t TStop::BadHexDigit() const {
  const std::ptrdiff_t digits = EscapeStart() + 2;
  for (std::ptrdiff_t shift = digits; shift < digits + 4; ++shift) {
    if (!IsHexDigit(At(shift))) return shift;
  }
  return 0;
}

std::ptrdiff_t TStop::PastLiteral() const {
  static const std::string_view kWords[] = {"true", "false", "null"};
  for (const std::string_view word : kWords) {
    if (after[0] != word[0]) continue;
    std::size_t matched = 1;
    while (matched < word.size() && matched < after.size() && after[matched] == word[matched]) {
      ++matched;
    }
    return static_cast<std::ptrdiff_t>(matched);
  }
  return 0;
}

TSyntaxError Describe(const boost::json::error_code& code, const TStop& stop, bool content) {
  using boost::json::error;
  if (code == error::incomplete) return {0, content ? kEndOfInput : "empty input"};
  if (code == error::exponent_overflow) return {0, "number exponent out of range"};
  if (code == error::expected_hex_digit) {
    return {stop.BadHexDigit(), "expected a hex digit in a \\u escape"};
  }
  if (code == error::illegal_leading_surrogate || code == error::illegal_trailing_surrogate ||
      code == error::expected_utf16_escape) {
    // A low surrogate alone, or a high one followed by the escape of
    // something else: the escape where the pair breaks.
    return {stop.EscapeStart(), kUnpairedSurrogate};
  }
  if (stop.after.empty()) return {0, kEndOfInput};
  // A high surrogate followed by something other than an escape, or by
  // another escape than \u.
  if (EndsInHighSurrogate(stop.before)) return {0, kUnpairedSurrogate};
  if (stop.before.back() == '\\' &&
      EndsInHighSurrogate(std::string_view(stop.before).substr(0, stop.before.size() - 1))) {
    return {-1, kUnpairedSurrogate};
  }
  const std::ptrdiff_t shift = stop.PastLiteral();
  if (static_cast<std::size_t>(shift) >= stop.after.size()) return {shift, kEndOfInput};
  return {shift, ByteText(static_cast<unsigned char>(stop.At(shift)))};
}

}  // namespace NZARNCORE
