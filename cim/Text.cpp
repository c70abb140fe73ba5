#include "cim/Text.h"

#include <limits>

namespace NTVXANAL {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string LowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::int32_t ReadInteger(const std::string& text) {
  const std::int64_t limit = std::numeric_limits<std::int32_t>::max();
  std::string::size_type at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  // Past the limit the value only saturates, so stop growing it there.
  std::int64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at)
    if (magnitude <= limit) magnitude = magnitude * 10 + (text[at] - '0');
  if (negative) return static_cast<std::int32_t>(magnitude > limit ? -limit - 1 : -magnitude);
  return static_cast<std::int32_t>(magnitude > limit ? limit : magnitude);
}

}  // namespace NTVXANAL
