#pragma once

#include <string>

#include <optional>

namespace NZARN {

// A monitoring plug-in's states, which are also its exit statuses.
enum class EMonitoringState { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

const char* StateName(EMonitoringState state);

// A text as one line of the output: its lines joined with blanks, nothing
// that could drive a terminal, and no '|', which would start performance
// data (U+00A6 stands for it).
std::string OutputLine(const std::string& text);

// The summary on the first line: as OutputLine, and no ';' either, which
// separates the fields of a monitoring core's log (U+FF1B stands for it).
std::string SummaryLine(const std::string& text);

// A threshold range, [@][START:][END]: START is 0 when left out, ~ for
// minus infinity; END is infinity when left out after the colon. A value
// outside START..END (both included) raises the alert; with @, a value
// inside it.
struct TRange {
  double start = 0;
  double end = 0;
  bool inside = false;

  bool Alerts(double value) const;
};

// None when text is no range, or its start lies above its end.
std::optional<TRange> ParseRange(const std::string& text);

// The range as the monitoring plug-ins' guidelines write it, whatever way
// it was given: "5" for ":5", "1" for "+1", the start left out when it is
// 0, each number the shortest that reads back as the one compared with.
std::string RangeText(const TRange& range);

// Over the number of findings.
struct TThresholds {
  std::optional<TRange> warning;   // none: any finding or advice warns
  std::optional<TRange> critical;  // none: nothing is critical
};

// One performance value, 'label'=VALUE[UNIT];[WARN];[CRIT];[MIN];[MAX],
// without the empty fields at its end; the label quoted where it must be.
struct TPerfValue {
  std::string label;
  std::string value;  // as CNumber writes it
  std::string unit;
  std::string warning;
  std::string critical;
  std::string minimum;
};
std::string PerfText(const TPerfValue& value);

// Seconds as C's locale writes them, whatever the user's locale: a dot for
// the decimal point, no grouping, six decimals.
std::string CSeconds(double seconds);

}  // namespace NZARN
