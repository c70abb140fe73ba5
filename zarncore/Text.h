#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "host/ZarnApi.h"

namespace NZARNCORE {

// The length of the well-formed UTF-8 character that starts at text[pos]:
// 1 to 4, or 0 when the bytes there start none (an overlong form, an encoded
// surrogate, a code point past U+10FFFF, a sequence cut short or a stray
// continuation byte).
ZARN_API std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// The characters of well-formed UTF-8 text.
ZARN_API std::size_t CharacterCount(std::string_view text);

enum class EHexLetters { Upper, Lower };

// The four hex digits of a UTF-16 code unit, as escapes (\u001B) and code
// points (U+001B) show it.
ZARN_API std::string FourHexDigits(unsigned code, EHexLetters letters);

// Text from a file or a plug-in as a terminal may show it: control
// characters escaped (\n, \t, \r, otherwise \u001B), so that it stays on
// its line and cannot drive the terminal.
ZARN_API std::string Printable(std::string_view text);

// The system's words for an error as the end of a sentence, lower-cased:
// "no such file or directory".
ZARN_API std::string ErrorReason(const std::error_code& error);

}  // namespace NZARNCORE
