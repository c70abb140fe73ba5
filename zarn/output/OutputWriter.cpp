#include "zarn/output/OutputWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <sstream>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>

#include "host/Analysis.h"
#include "host/ZARNException.h"
#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::AppendJsonString;
using NZARNCORE::Displayed;
using NZARNCORE::RepairUtf8;

using NQELZARN20::kLevelAdvice;
using NQELZARN20::kLevelDiagnostic;
using NQELZARN20::kLevelError;
using NQELZARN20::kLevelFinding;
using NZARNCORE::THostCall;

namespace {

const char* CallName(THostCall::EKind kind) {
  switch (kind) {
    case THostCall::GetName:
      return "GetName";
    case THostCall::GetClass:
      return "GetClass";
    case THostCall::EnumerateInstances:
      return "EnumerateInstances";
    case THostCall::EnumerateAssociatedInstances:
      return "EnumerateAssociatedInstances";
    case THostCall::GetProperty:
      return "GetProperty";
    case THostCall::GetOperatingSystemType:
      return "GetOperatingSystemType";
  }
  return "?";
}

void AppendJsonField(std::string& line, const char* key, const std::string& value) {
  line += ", \"";
  line += key;
  line += "\": ";
  AppendJsonString(line, value);
}

void AppendJsonArguments(std::string& line, const THostCall& call) {
  switch (call.kind) {
    case THostCall::GetName:
    case THostCall::GetClass:
    case THostCall::EnumerateInstances:
      AppendJsonField(line, "class", call.className);
      break;
    case THostCall::EnumerateAssociatedInstances:
      AppendJsonField(line, "instance", call.instance);
      AppendJsonField(line, "resultClass", call.className);
      break;
    case THostCall::GetProperty:
      AppendJsonField(line, "instance", call.instance);
      AppendJsonField(line, "property", call.property);
      break;
    case THostCall::GetOperatingSystemType:
      break;
  }
}

void AppendJsonCall(std::string& line, const std::string& prefix, const THostCall& call) {
  line += '{';
  line += prefix;
  line += "\"call\": \"";
  line += CallName(call.kind);
  line += '"';
  AppendJsonArguments(line, call);
  if (call.status) {
    line += ", \"status\": " + std::to_string(*call.status);
  } else if (call.count) {
    line += ", \"count\": " + std::to_string(*call.count);
  } else if (call.result) {
    line += ", \"result\": " + std::to_string(*call.result);
  }
  line += "}\n";
}

}  // namespace

// The instance as the trace names it: its $id, or Class[index], made in
// the naming kept from line to line (a flooded log has 200,000).
void TOutputWriter::AppendJsonConcerned(std::string& line, TNaming& naming,
                                        std::size_t instance) const {
  const std::size_t classIndex = m_inventory->ClassOf(instance);
  if (naming.inventory != m_inventory || naming.classIndex != classIndex) {
    naming.classJson.clear();
    AppendJsonString(naming.classJson, m_inventory->Class(classIndex).name);
    naming.inventory = m_inventory;
    naming.classIndex = classIndex;
  }
  line += ", \"class\": ";
  line += naming.classJson;
  line += ", \"instance\": ";
  naming.label.clear();
  m_inventory->AppendLabel(naming.label, instance);
  AppendJsonString(line, naming.label);
}

namespace {

// "known": {...} for an acknowledgement in force, "ended": {...} for one
// whose day has passed.
void AppendJsonAcknowledgement(std::string& line, const TAcknowledgement& acknowledgement) {
  line += acknowledgement.ended ? ", \"ended\": {\"reason\": " : ", \"known\": {\"reason\": ";
  AppendJsonString(line, acknowledgement.entry->reason);
  line += ", \"until\": \"";
  line += DateText(acknowledgement.entry->until);
  line += "\"}";
}

void AppendJsonLog(std::string& line, const std::string& prefix, std::int32_t level,
                   std::string_view text) {
  line += '{';
  line += prefix;
  line += "\"level\": ";
  char digits[16];
  const char* const end = std::to_chars(digits, digits + sizeof digits, level).ptr;
  line.append(digits, static_cast<std::size_t>(end - digits));
  line += ", \"text\": ";
  AppendJsonString(line, text);
}

// "status 15 (class or property not available)"; codes without a text of
// their own show once.
std::string StatusText(NQELZARN20::TZARNStatusCode status) {
  const std::string code = "status " + std::to_string(status);
  const std::string text = NQELZARN20::TranslateStatusCode(status);
  return text == code ? code : code + " (" + text + ")";
}

// Names as the text trace shows them: an empty one would vanish.
std::string Shown(const std::string& name) { return name.empty() ? "\"\"" : Displayed(name); }

void WriteTextArguments(std::ostream& out, const THostCall& call) {
  switch (call.kind) {
    case THostCall::GetName:
    case THostCall::GetClass:
    case THostCall::EnumerateInstances:
      out << ' ' << Shown(call.className);
      break;
    case THostCall::EnumerateAssociatedInstances:
      out << ' ' << Shown(call.instance) << ' ' << Shown(call.className);
      break;
    case THostCall::GetProperty:
      out << ' ' << Shown(call.instance) << ' ' << Shown(call.property);
      break;
    case THostCall::GetOperatingSystemType:
      break;
  }
}

void WriteTextCall(std::ostream& out, const THostCall& call) {
  out << "  -> " << CallName(call.kind);
  WriteTextArguments(out, call);
  if (call.status) {
    out << ": " << StatusText(*call.status);
  } else if (call.count) {
    out << ": " << *call.count << (*call.count == 1 ? " instance" : " instances");
  } else if (call.result) {
    out << ": " << *call.result;
  }
  out << '\n';
}

// "[  3]", "[100]": the level right-aligned in three places, as printf's
// "%3d" puts it. By hand, as formatting it took more of the flooded
// inventory's text output than its event-log check.
void AppendLevel(std::string& line, std::int32_t level) {
  char digits[16];
  const auto width =
      static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, level).ptr - digits);
  line += '[';
  if (width < 3) line.append(3 - width, ' ');
  line.append(digits, width);
  line += ']';
}

// "[100] first line", further lines indented to line up under the first;
// no line gets trailing blanks. Other control characters show escaped.
void AppendTextLog(std::string& line, std::int32_t level, std::string_view text) {
  const std::size_t begin = line.size();
  AppendLevel(line, level);
  const std::size_t indent = line.size() - begin + 1;
  // Copied only where it needs repair: most texts need none.
  std::string repaired;
  const std::string_view shown =
      NZARNCORE::IsWellFormedUtf8(text) ? text : (repaired = RepairUtf8(text));
  // Lines as getline splits them: a last newline ends a line, it starts none.
  for (std::size_t start = 0; start < shown.size();) {
    const std::size_t end = std::min(shown.find('\n', start), shown.size());
    if (end != start) {
      line.append(start == 0 ? 1 : indent, ' ');
      NZARNCORE::AppendPrintable(line, shown.substr(start, end - start));
    }
    line += '\n';
    start = end + 1;
  }
  if (text.empty()) line += '\n';
}

// Lines held are handed to the formatter this many bytes at a time: each
// hand-over wakes it, and a small output never starts it.
constexpr std::size_t kHandedAtLeast = std::size_t(256) << 10;

// What a held line needs to be formatted later; its text follows it.
struct THeldLine {
  std::int32_t level;
  std::optional<std::size_t> concerned;
  std::optional<TAcknowledgement> acknowledged;
  std::size_t textSize;
};
static_assert(std::is_trivially_copyable_v<THeldLine>);

}  // namespace

void CountLine(TLineCounts& counts, std::int32_t level) {
  switch (level) {
    case kLevelFinding:
      ++counts.findings;
      break;
    case kLevelAdvice:
      ++counts.advice;
      break;
    case kLevelError:
      ++counts.errors;
      break;
    case kLevelDiagnostic:
      ++counts.diagnostics;
      break;
    default:
      ++counts.otherLevels;
  }
}

std::string CountsText(const TLineCounts& counts) {
  std::ostringstream text;
  text << "findings " << counts.findings << ", advice " << counts.advice << ", errors "
       << counts.errors << ", diagnostics " << counts.diagnostics;
  if (counts.known != 0) text << ", known " << counts.known;
  if (counts.otherLevels != 0) text << ", other levels " << counts.otherLevels;
  if (counts.hidden != 0) text << "; " << counts.hidden << " not shown (--levels)";
  return text.str();
}

std::string Summary(const TLineCounts& counts) { return "Summary: " + CountsText(counts); }

TOutputWriter::TOutputWriter(std::ostream& out, EFormat format,
                             std::optional<std::set<std::int32_t>> shownLevels,
                             std::string recordPrefix, EFlush flush)
    : m_out(out),
      m_format(format),
      m_shownLevels(std::move(shownLevels)),
      m_recordPrefix(std::move(recordPrefix)),
      m_flush(flush) {}

void TOutputWriter::OnLog(std::int32_t level, const std::string& text) {
  std::optional<TAcknowledgement> acknowledged;
  if (m_acknowledgements) acknowledged = m_acknowledgements->Match(level, text);
  if (acknowledged && !acknowledged->ended) {
    ++m_counts.known;
  } else {
    CountLine(m_counts, level);
  }
  if (!Shows(level)) {
    ++m_counts.hidden;
    return;
  }
  if (m_aside && !m_showCalls) return Hold(level, text, acknowledged);
  m_line.clear();
  AppendLine(m_line, m_naming, level, text, m_attribution.Concerned(), acknowledged);
  m_out.write(m_line.data(), static_cast<std::streamsize>(m_line.size()));
  LineEnded();
}

void TOutputWriter::AppendLine(std::string& line, TNaming& naming, std::int32_t level,
                               std::string_view text, const std::optional<std::size_t>& concerned,
                               const std::optional<TAcknowledgement>& acknowledged) const {
  if (m_format == EFormat::Jsonl) {
    AppendJsonLog(line, m_recordPrefix, level, text);
    if (m_inventory && concerned) AppendJsonConcerned(line, naming, *concerned);
    if (acknowledged) AppendJsonAcknowledgement(line, *acknowledged);
    line += "}\n";
  } else {
    AppendTextLog(line, level, text);
    if (acknowledged) {
      line += "  ";
      NZARNCORE::AppendPrintable(line, AcknowledgementText(*acknowledged));
      line += '\n';
    }
  }
}

void TOutputWriter::Hold(std::int32_t level, const std::string& text,
                         const std::optional<TAcknowledgement>& acknowledged) {
  const THeldLine held{level, m_attribution.Concerned(), acknowledged, text.size()};
  m_held.append(reinterpret_cast<const char*>(&held), sizeof held);
  m_held += text;
  if (m_held.size() >= kHandedAtLeast) PassOn();
}

void TOutputWriter::PassOn() {
  if (m_formatter == nullptr) {
    try {
      m_formatter = std::make_unique<TWorkerThread>();
    } catch (const std::system_error&) {
      // No thread to spare: the lines are written here.
      WriteHeld(m_held, m_line, m_naming);
      m_held.clear();
      return;
    }
  }
  // The stream is the formatter's alone from here until its Wait returns.
  m_formatter->Wait();
  m_held.swap(m_handed);
  m_formatter->Hand([this] { WriteHeld(m_handed, m_handedLine, m_handedNaming); });
  m_held.clear();
}

void TOutputWriter::Finish() {
  if (m_formatter != nullptr) m_formatter->Wait();
  WriteHeld(m_held, m_line, m_naming);
  m_held.clear();
}

void TOutputWriter::WriteHeld(std::string_view held, std::string& line, TNaming& naming) {
  // A line at a time, as OnLog writes it: a batch's lines made whole first
  // would add their size to the peak memory.
  while (!held.empty()) {
    THeldLine next;
    std::memcpy(&next, held.data(), sizeof next);
    line.clear();
    AppendLine(line, naming, next.level, held.substr(sizeof next, next.textSize), next.concerned,
               next.acknowledged);
    m_out.write(line.data(), static_cast<std::streamsize>(line.size()));
    held.remove_prefix(sizeof next + next.textSize);
  }
}

void TOutputWriter::OnHostCall(const THostCall& call) {
  m_attribution.OnHostCall(call);
  if (!m_showCalls) return;
  if (m_format == EFormat::Jsonl) {
    m_line.clear();
    AppendJsonCall(m_line, m_recordPrefix, call);
    m_out.write(m_line.data(), static_cast<std::streamsize>(m_line.size()));
  } else {
    WriteTextCall(m_out, call);
  }
  LineEnded();
}

void TOutputWriter::LineEnded() {
  if (m_flush == EFlush::EachLine) m_out.flush();
}

bool TOutputWriter::Shows(std::int32_t level) const {
  return !m_shownLevels || m_shownLevels->count(level) != 0;
}

}  // namespace NZARN
