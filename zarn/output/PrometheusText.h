#pragma once

#include <string>
#include <utility>
#include <vector>

namespace NZARN {

// One sample of a metric: its labels, in order, and its value as the text
// format writes numbers. The text format's timestamps are left out: the
// server stamps each sample when it scrapes it.
struct TMetricSample {
  std::vector<std::pair<std::string, std::string>> labels;
  std::string value;
};

// A metric and its samples, as Prometheus' text format groups them.
struct TMetricFamily {
  std::string name;
  std::string help;  // one line, without '\' (written as it stands)
  std::string type;  // "gauge", "counter", ...
  std::vector<TMetricSample> samples;
};

// The family's HELP and TYPE lines, then a line for each sample. A label
// value is any text: each byte that is not part of well-formed UTF-8 is
// written as U+FFFD, and '\', '"' and line feeds escaped.
std::string FamilyText(const TMetricFamily& family);

}  // namespace NZARN
