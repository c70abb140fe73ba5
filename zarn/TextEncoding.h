#pragma once

#include <ostream>
#include <string>

namespace NZARN {

// Plug-in texts are meant to be UTF-8 but nothing enforces it. Every byte
// that is not part of a well-formed UTF-8 sequence is shown as U+FFFD, so
// the output stays valid UTF-8 (and each JSONL line valid JSON).
std::string RepairUtf8(const std::string& text);

// Text from an inventory or the plug-in as text output shows it: repaired
// UTF-8 with control characters escaped, so that it can neither start a
// line of its own nor drive the terminal.
std::string Displayed(const std::string& text);

// Writes text as a JSON string, quotes included.
void WriteJsonString(std::ostream& out, const std::string& text);

}  // namespace NZARN
