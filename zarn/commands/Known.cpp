#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <boost/json.hpp>

#include "host/Analysis.h"
#include "zarn/commands/Commands.h"
#include "zarn/commands/HostSession.h"
#include "zarncore/Text.h"

namespace NZARN {

namespace {

using NZARNCORE::AppendJsonString;

// What an entry holds until a person fills it in; the loader refuses both.
const char kReasonPlaceholder[] = "";
const char kUntilPlaceholder[] = "YYYY-MM-DD";

struct TFinding {
  std::string text;
  std::string host;  // empty for any host
};

bool Acknowledgeable(const boost::json::object& record) {
  const boost::json::value* level = record.if_contains("level");
  if (!level || !level->is_int64()) return false;
  const std::int64_t value = level->get_int64();
  return (value == NQELZARN20::kLevelFinding || value == NQELZARN20::kLevelAdvice) &&
         !record.contains("known");
}

// The findings and advice of analyze's JSONL, each text (and host) once, in
// the order first seen; lines already known are left out.
std::vector<TFinding> Findings(std::istream& in, const std::string& name, bool anyHost) {
  std::vector<TFinding> findings;
  std::set<std::pair<std::string, std::string>> seen;
  std::size_t number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty()) continue;
    boost::system::error_code error;
    const boost::json::value value = boost::json::parse(line, error);
    if (error || !value.is_object())
      throw std::runtime_error(name + ":" + std::to_string(number) +
                               ": not a line of zarn analyze --format jsonl");
    const boost::json::object& record = value.get_object();
    const boost::json::value* text = record.if_contains("text");
    if (!Acknowledgeable(record) || !text || !text->is_string()) continue;
    const boost::json::value* host = record.if_contains("host");
    TFinding finding{std::string(text->get_string()), !anyHost && host && host->is_string()
                                                          ? std::string(host->get_string())
                                                          : std::string()};
    if (seen.emplace(finding.text, finding.host).second) findings.push_back(std::move(finding));
  }
  if (in.bad()) throw std::runtime_error(name + ": cannot read");
  return findings;
}

std::string KnownFileText(const std::vector<TFinding>& findings, const std::string& reason,
                          const std::string& until) {
  std::string text = "{\"known\": [";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    text += i == 0 ? "\n  {\"finding\": " : ",\n  {\"finding\": ";
    AppendJsonString(text, findings[i].text);
    if (!findings[i].host.empty()) {
      text += ", \"host\": ";
      AppendJsonString(text, findings[i].host);
    }
    text += ", \"reason\": ";
    AppendJsonString(text, reason);
    text += ", \"until\": ";
    AppendJsonString(text, until);
    text += '}';
  }
  return text + (findings.empty() ? "]}\n" : "\n]}\n");
}

}  // namespace

int RunKnown(const TKnownOptions& options) {
  std::vector<TFinding> findings;
  try {
    if (options.input == kStandardInput) {
      findings = Findings(std::cin, InventoryName(options.input), options.anyHost);
    } else {
      std::ifstream in(options.input, std::ios::binary);
      if (!in) throw std::runtime_error(options.input + ": cannot read");
      findings = Findings(in, options.input, options.anyHost);
    }
  } catch (const std::runtime_error& error) {
    ReportError(error.what());
    return eExitUsage;
  }
  const std::string text = KnownFileText(findings, options.reason.value_or(kReasonPlaceholder),
                                         options.until.value_or(kUntilPlaceholder));
  std::cout << text;
  return FinishOutput() ? eExitClean : eExitOutputFailed;
}

}  // namespace NZARN
