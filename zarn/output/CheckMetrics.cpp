#include "zarn/output/CheckMetrics.h"

#include <chrono>

#include "collectors/InventoryDocument.h"
#include "zarn/output/OutputFile.h"
#include "zarn/output/PrometheusText.h"

namespace NZARN {

namespace {

const char kGauge[] = "gauge";

// Ends the child's report and starts its figures; no line of the report
// holds it, since control characters are written escaped there.
const char kFiguresStart = '\0';

struct TMetric {
  const char* name;
  const char* help;
};

const TMetric kInfo = {"tvxanal_info", "The version of zarn that wrote these figures; always 1."};
const TMetric kState = {"tvxanal_check_state",
                        "The state zarn check reported: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN."};
const TMetric kLastRun = {"tvxanal_last_run_timestamp_seconds",
                          "When zarn check last ended, in seconds since the Unix epoch."};
const TMetric kFindings = {"tvxanal_findings",
                           "Findings (level 100) the plug-in wrote in the last run."};
const TMetric kKnown = {"tvxanal_findings_known",
                        "Findings and advice of the last run that the known file acknowledges; "
                        "they count toward nothing else."};
const TMetric kClassFindings = {"tvxanal_class_findings",
                                "Findings (level 100) of the last run by the class of the "
                                "instance they concern; without the label, those that concern "
                                "none."};
const TMetric kAdvice = {"tvxanal_advice", "Advice (level 101) the plug-in wrote in the last run."};
const TMetric kErrors = {"tvxanal_errors",
                         "Errors (level 0) the plug-in wrote in the last run: it could not look "
                         "at everything."};
const TMetric kDiagnostics = {"tvxanal_diagnostics",
                              "Diagnostics (level 3) the plug-in wrote in the last run."};
const TMetric kClassReadable = {"tvxanal_class_readable",
                                "1 when the collector read the class in full (or found that the "
                                "machine has none), 0 when it could not read it, wholly or in "
                                "part."};
const TMetric kCollectDuration = {"tvxanal_collect_duration_seconds",
                                  "How long the last run took to collect the machine."};
const TMetric kAnalyzeDuration = {"tvxanal_analyse_duration_seconds",
                                  "How long the plug-in took to analyse the last run's inventory."};
const char kClassLabel[] = "class";
const char kVersionLabel[] = "version";

TMetricFamily Gauge(const TMetric& metric, std::vector<TMetricSample> samples) {
  return TMetricFamily{metric.name, metric.help, kGauge, std::move(samples)};
}

TMetricFamily Gauge(const TMetric& metric, const std::string& value) {
  return Gauge(metric, {TMetricSample{{}, value}});
}

TMetricFamily Gauge(const TMetric& metric, std::size_t count) {
  return Gauge(metric, std::to_string(count));
}

TMetricFamily ClassesReadable(const std::vector<std::pair<std::string, bool>>& classes) {
  std::vector<TMetricSample> samples;
  for (const auto& cls : classes)
    samples.push_back(TMetricSample{{{kClassLabel, cls.first}}, cls.second ? "1" : "0"});
  return Gauge(kClassReadable, std::move(samples));
}

TMetricFamily ClassFindings(const std::vector<std::pair<std::string, std::size_t>>& classes) {
  std::vector<TMetricSample> samples;
  for (const auto& cls : classes) {
    TMetricSample sample{{}, std::to_string(cls.second)};
    if (!cls.first.empty()) sample.labels.push_back({kClassLabel, cls.first});
    samples.push_back(std::move(sample));
  }
  return Gauge(kClassFindings, std::move(samples));
}

std::string UnixSecondsNow() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return CSeconds(std::chrono::duration<double>(sinceEpoch).count());
}

std::string Text(const std::vector<TMetricFamily>& families) {
  std::string text;
  for (const TMetricFamily& family : families) text += FamilyText(family);
  return text;
}

}  // namespace

std::vector<std::pair<std::string, bool>> TriedClasses(const NZARNCORE::TInventory& inventory) {
  std::vector<std::pair<std::string, bool>> tried;
  if (!inventory.Collection()) return tried;
  for (const NZARNCORE::TCollectedClass& cls : inventory.Collection()->classes) {
    if (NZARNCOLLECT::OnlyManagementSoftwareReports(cls.name)) continue;
    tried.emplace_back(cls.name, NZARNCORE::ReadInFull(cls.state));
  }
  return tried;
}

void WriteRunFigures(std::ostream& out, const TRunFigures& figures) {
  out << kFiguresStart
      << Text({Gauge(kFindings, figures.findings), Gauge(kKnown, figures.known),
               ClassFindings(figures.findingsByClass), Gauge(kAdvice, figures.advice),
               Gauge(kErrors, figures.errors), Gauge(kDiagnostics, figures.diagnostics),
               ClassesReadable(figures.classes),
               Gauge(kCollectDuration, CSeconds(figures.collectSeconds)),
               Gauge(kAnalyzeDuration, CSeconds(figures.analyzeSeconds))})
      << std::flush;
}

std::pair<std::string, std::string> SplitRunFigures(const std::string& childOutput) {
  const std::size_t start = childOutput.rfind(kFiguresStart);
  if (start == std::string::npos) return {childOutput, std::string()};
  return {childOutput.substr(0, start), childOutput.substr(start + 1)};
}

std::string WriteCheckMetrics(const std::string& path, EMonitoringState state,
                              const std::string& runFigures) {
  const std::string text = Text(
      {Gauge(kInfo, {TMetricSample{{{kVersionLabel, ZARN_VERSION}}, "1"}}),
       Gauge(kState, std::to_string(static_cast<int>(state))), Gauge(kLastRun, UnixSecondsNow())});
  return WriteWholeFile(path, text + runFigures);
}

}  // namespace NZARN
