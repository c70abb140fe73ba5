#pragma once

#include <ostream>
#include <string>

namespace NZARN {

// Plug-in texts are meant to be UTF-8 but nothing enforces it. Every byte
// that is not part of a well-formed UTF-8 sequence is shown as U+FFFD, so
// the output stays valid UTF-8 (and each JSONL line valid JSON).
std::string RepairUtf8(const std::string& text);

// A text of an inventory or of the file system as one line of valid UTF-8
// that cannot drive a terminal: control characters are shown as \u00XX.
std::string ShownSafely(const std::string& text);

// Writes text as a JSON string, quotes included.
void WriteJsonString(std::ostream& out, const std::string& text);

}  // namespace NZARN
