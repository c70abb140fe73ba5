#include "zarn/TextEncoding.h"

#include <cstddef>
#include <cstdio>

namespace NZARN {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

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

// The length of the well-formed sequence at pos, or 0 when its first byte
// starts none.
std::size_t SequenceLength(const std::string& text, std::size_t pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  const std::size_t length = ExpectedLength(lead);
  if (length <= 1) return length;
  if (pos + length > text.size()) return 0;
  if (!SecondByteFits(lead, static_cast<unsigned char>(text[pos + 1]))) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 0;
  }
  return length;
}

void WriteEscapedByte(std::ostream& out, unsigned char byte) {
  switch (byte) {
    case '"':
      out << "\\\"";
      return;
    case '\\':
      out << "\\\\";
      return;
    case '\n':
      out << "\\n";
      return;
    case '\r':
      out << "\\r";
      return;
    case '\t':
      out << "\\t";
      return;
    case '\b':
      out << "\\b";
      return;
    case '\f':
      out << "\\f";
      return;
  }
  if (byte < 0x20) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
    out << escape;
    return;
  }
  out << static_cast<char>(byte);
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
    const std::size_t length = SequenceLength(text, pos);
    if (length == 0) {
      repaired += kReplacement;
      ++pos;
      continue;
    }
    repaired.append(text, pos, length);
    pos += length;
  }
  return repaired;
}

std::string ShownSafely(const std::string& text) {
  std::string shown;
  for (const char c : RepairUtf8(text)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(byte));
    shown += escape;
  }
  return shown;
}

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
    const std::size_t length = SequenceLength(text, pos);
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
