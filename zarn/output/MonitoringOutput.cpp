#include "zarn/output/MonitoringOutput.h"

#include <charconv>
#include <limits>
#include <sstream>

#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Displayed;
using NZARNCORE::RepairUtf8;

namespace {

// Starts the performance data; a text of the output never holds one.
const char kPerfSeparator = '|';
const char kPerfSeparatorStandIn[] = "\xC2\xA6";  // U+00A6 BROKEN BAR
// Separates the fields of a monitoring core's log.
const char kFieldSeparator = ';';
const char kFieldSeparatorStandIn[] = "\xEF\xBC\x9B";  // U+FF1B FULLWIDTH SEMICOLON

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Digits, a sign and a decimal point only: no exponent, infinity or NaN.
std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty() || text.find_first_not_of("+-.0123456789") != std::string::npos)
    return std::nullopt;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  const char* end = text.data() + text.size();
  double value = 0;
  const auto result = std::from_chars(begin, end, value);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

std::optional<double> ParseStart(const std::string& text) {
  if (text == "~") return -kInfinity;
  return text.empty() ? 0.0 : ParseNumber(text);
}

std::optional<double> ParseEnd(const std::string& text, bool afterColon) {
  if (text.empty() && afterColon) return kInfinity;
  return ParseNumber(text);
}

// Labels need quotes around a blank, '=' or a quote, which is doubled.
bool NeedsQuotes(const std::string& label) {
  return label.find_first_of(" ='") != std::string::npos;
}

std::string QuotedLabel(const std::string& label) {
  if (!NeedsQuotes(label)) return label;
  std::string quoted = "'";
  for (const char c : label) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// text with each of one character replaced.
std::string Replaced(const std::string& text, char c, const char* standIn) {
  std::string replaced;
  for (const char at : text) replaced += at == c ? std::string(standIn) : std::string(1, at);
  return replaced;
}

// Fixed notation, as the guidelines' numbers are; -0 is 0.
std::string NumberText(double value) {
  char text[512];
  const auto result =
      std::to_chars(text, text + sizeof text, value + 0.0, std::chars_format::fixed);
  return std::string(text, result.ptr);
}

}  // namespace

std::string OutputLine(const std::string& text) {
  std::istringstream lines(RepairUtf8(text));
  std::string joined;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t begin = line.find_first_not_of(" \t\r");
    if (begin == std::string::npos) continue;
    const std::size_t end = line.find_last_not_of(" \t\r");
    joined += (joined.empty() ? "" : " ") + line.substr(begin, end - begin + 1);
  }
  return Replaced(Displayed(joined), kPerfSeparator, kPerfSeparatorStandIn);
}

std::string SummaryLine(const std::string& text) {
  return Replaced(OutputLine(text), kFieldSeparator, kFieldSeparatorStandIn);
}

const char* StateName(EMonitoringState state) {
  switch (state) {
    case EMonitoringState::Ok:
      return "OK";
    case EMonitoringState::Warning:
      return "WARNING";
    case EMonitoringState::Critical:
      return "CRITICAL";
    case EMonitoringState::Unknown:
      break;
  }
  return "UNKNOWN";
}

bool TRange::Alerts(double value) const {
  const bool within = start <= value && value <= end;
  return inside ? within : !within;
}

std::optional<TRange> ParseRange(const std::string& text) {
  TRange range;
  std::string rest = text;
  if (!rest.empty() && rest[0] == '@') {
    range.inside = true;
    rest.erase(0, 1);
  }
  const std::size_t colon = rest.find(':');
  const bool hasColon = colon != std::string::npos;
  const std::optional<double> start = hasColon ? ParseStart(rest.substr(0, colon)) : 0.0;
  const std::optional<double> end = ParseEnd(hasColon ? rest.substr(colon + 1) : rest, hasColon);
  if (!start || !end || *start > *end) return std::nullopt;
  range.start = *start;
  range.end = *end;
  return range;
}

std::string RangeText(const TRange& range) {
  std::string text = range.inside ? "@" : "";
  if (range.start == -kInfinity) {
    text += "~:";
  } else if (range.start != 0 || range.end == kInfinity) {
    text += NumberText(range.start) + ":";
  }
  return range.end == kInfinity ? text : text + NumberText(range.end);
}

std::string PerfText(const TPerfValue& value) {
  std::string fields[] = {value.warning, value.critical, value.minimum};
  std::string text = QuotedLabel(value.label) + "=" + value.value + value.unit;
  std::size_t used = 3;
  while (used > 0 && fields[used - 1].empty()) --used;
  for (std::size_t i = 0; i < used; ++i) text += ";" + fields[i];
  return text;
}

std::string CSeconds(double seconds) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 6);
  return std::string(text, result.ptr);
}

}  // namespace NZARN
