#include "zarn/report/HtmlText.h"

#include <algorithm>

#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Displayed;
using NZARNCORE::RepairUtf8;

namespace {

const char* Reference(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
  }
  return nullptr;
}

// The text's first maxBytes, ending on a whole character, or all of it.
std::string_view Cut(const std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string_view(text).substr(0, end);
}

void AppendCutNote(std::string& out, const std::string& text, std::string_view shown) {
  if (shown.size() != text.size())
    out += "\xE2\x80\xA6 (cut: " + std::to_string(text.size()) + " bytes in all)";
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    // Runs that need no reference go over whole.
    const std::size_t end = std::min(text.find_first_of("&<>\"'", pos), text.size());
    out.append(text, pos, end - pos);
    if (end == text.size()) break;
    out += Reference(text[end]);
    pos = end + 1;
  }
}

void AppendHtmlText(std::string& out, const std::string& text, std::size_t maxBytes) {
  const std::string_view shown = Cut(text, maxBytes);
  AppendEscaped(out, Displayed(std::string(shown)));
  AppendCutNote(out, text, shown);
}

void AppendHtmlLines(std::string& out, const std::string& text, std::size_t maxBytes) {
  const std::string_view shown = Cut(text, maxBytes);
  const std::string repaired = RepairUtf8(std::string(shown));
  for (std::size_t start = 0; start <= repaired.size();) {
    const std::size_t end = std::min(repaired.find('\n', start), repaired.size());
    if (start != 0) out += '\n';
    AppendEscaped(out, NZARNCORE::Printable(std::string_view(repaired).substr(start, end - start)));
    start = end + 1;
  }
  AppendCutNote(out, text, shown);
}

}  // namespace NZARN
