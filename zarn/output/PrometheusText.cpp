#include "zarn/output/PrometheusText.h"

#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::RepairUtf8;

namespace {

std::string LabelValue(const std::string& text) {
  std::string escaped;
  for (const char c : RepairUtf8(text)) {
    if (c == '\\' || c == '"') {
      escaped += '\\';
      escaped += c;
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string SampleLine(const std::string& name, const TMetricSample& sample) {
  std::string line = name;
  for (const auto& label : sample.labels) {
    line += line.size() == name.size() ? '{' : ',';
    line += label.first + "=\"" + LabelValue(label.second) + '"';
  }
  if (!sample.labels.empty()) line += '}';
  return line + ' ' + sample.value + '\n';
}

}  // namespace

std::string FamilyText(const TMetricFamily& family) {
  std::string text = "# HELP " + family.name + ' ' + family.help + '\n';
  text += "# TYPE " + family.name + ' ' + family.type + '\n';
  for (const TMetricSample& sample : family.samples) text += SampleLine(family.name, sample);
  return text;
}

}  // namespace NZARN
