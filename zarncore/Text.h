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

// The four upper-case hex digits of a UTF-16 code unit, as escapes
// (\u001B) and code points (U+001B) show it.
ZARN_API std::string FourHexDigits(unsigned code);

// Texts from a file or a plug-in are meant to be UTF-8 but nothing enforces
// it. Every byte that is not part of a well-formed UTF-8 sequence is shown
// as U+FFFD, so that what is written of them stays valid UTF-8.
ZARN_API std::string RepairUtf8(std::string_view text);
// Whether RepairUtf8 would leave the text as it is.
ZARN_API bool IsWellFormedUtf8(std::string_view text);

// Text from a file or a plug-in as a terminal may show it: control
// characters escaped (\n, \t, \r, otherwise \u001B), so that it stays on
// its line and cannot drive the terminal.
ZARN_API std::string Printable(std::string_view text);
// The same, appended.
ZARN_API void AppendPrintable(std::string& out, std::string_view text);

// Text from an inventory or the plug-in as text output shows it: repaired
// UTF-8 with control characters escaped, so that it can neither start a
// line of its own nor drive the terminal.
ZARN_API std::string Displayed(std::string_view text);

// Appends text as a JSON string, quotes included, as the JSON library
// writes one, its UTF-8 repaired, so that every line written stays valid
// JSON.
ZARN_API void AppendJsonString(std::string& out, std::string_view text);

// The system's words for an error as the end of a sentence, lower-cased:
// "no such file or directory"; of an errno value, or of an error code.
ZARN_API std::string ErrorReason(int error);
ZARN_API std::string ErrorReason(const std::error_code& error);

// "1 instance", "2 instances".
ZARN_API std::string Counted(std::size_t count, const char* one, const char* many);

}  // namespace NZARNCORE
