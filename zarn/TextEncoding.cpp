#include "zarn/TextEncoding.h"

#include <cstddef>
#include <string_view>

#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Utf8SequenceLength;

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// The JSON escape of a byte that cannot stand for itself in a string, or
// null for one that can.
const char* ShortEscape(unsigned char byte) {
  switch (byte) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    case '\b':
      return "\\b";
    case '\f':
      return "\\f";
  }
  return nullptr;
}

void WriteEscapedByte(std::ostream& out, unsigned char byte) {
  if (const char* escape = ShortEscape(byte)) {
    out << escape;
  } else if (byte < 0x20) {
    out << "\\u" << NZARNCORE::FourHexDigits(byte, NZARNCORE::EHexLetters::Lower);
  } else {
    out << static_cast<char>(byte);
  }
}

// Whether the byte stands for itself in a JSON string.
bool IsPlain(unsigned char byte) {
  return byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\';
}

}  // namespace

std::string RepairUtf8(const std::string& text) {
  std::string repaired;
  repaired.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    // Runs of ASCII go over whole; most texts are nothing else.
    std::size_t end = pos;
    while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
    repaired.append(text, pos, end - pos);
    if (end == text.size()) break;
    const std::size_t length = Utf8SequenceLength(text, end);
    if (length == 0) {
      repaired += kReplacement;
      pos = end + 1;
    } else {
      repaired.append(text, end, length);
      pos = end + length;
    }
  }
  return repaired;
}

std::string Displayed(const std::string& text) { return NZARNCORE::Printable(RepairUtf8(text)); }

void WriteJsonString(std::ostream& out, const std::string& text) {
  out << '"';
  for (std::size_t pos = 0; pos < text.size();) {
    // Runs of plain characters go out whole: lines quote long messages.
    std::size_t end = pos;
    while (end < text.size() && IsPlain(static_cast<unsigned char>(text[end]))) ++end;
    if (end != pos) {
      out.write(text.data() + pos, static_cast<std::streamsize>(end - pos));
      pos = end;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) {
      out << "\\ufffd";
      ++pos;
    } else if (length == 1) {
      WriteEscapedByte(out, static_cast<unsigned char>(text[pos++]));
    } else {
      out.write(text.data() + pos, static_cast<std::streamsize>(length));
      pos += length;
    }
  }
  out << '"';
}

}  // namespace NZARN
