#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>

#include "zarn/known/Acknowledgements.h"
#include "zarn/output/WorkerThread.h"
#include "zarncore/HostCall.h"
#include "zarncore/Inventory.h"
#include "zarncore/LineAttribution.h"

namespace NZARN {

enum class EFormat { Text, Jsonl };

// When written lines leave the stream's buffer: when the stream is flushed,
// or as each line ends.
enum class EFlush { AtEnd, EachLine };

// How many lines the plug-in wrote, by level, whether shown or not.
struct TLineCounts {
  std::size_t findings = 0;
  std::size_t advice = 0;
  std::size_t errors = 0;
  std::size_t diagnostics = 0;
  std::size_t otherLevels = 0;
  std::size_t hidden = 0;  // left out by the level filter
  // Findings and advice that a known file acknowledges, counted here only;
  // one whose acknowledgement ended counts as a finding or advice again.
  std::size_t known = 0;
};

// Counts a line the plug-in wrote at that level.
void CountLine(TLineCounts& counts, std::int32_t level);

// "findings 2, advice 1, errors 0, diagnostics 3", with the known lines,
// the other levels and the hidden lines when there were any.
std::string CountsText(const TLineCounts& counts);

// The one-line account of what was written, for the end of text output.
std::string Summary(const TLineCounts& counts);

// Writes logged lines and host calls as they happen, in the chosen format,
// and counts the lines. Host calls are written only when shown (a trace);
// the writer still follows them to tell which instance a line concerns.
class TOutputWriter : public NZARNCORE::IHostObserver {
 public:
  // shownLevels: the levels whose lines are written; none means all.
  // recordPrefix: JSON members written first in every JSONL object, each
  // followed by ", ".
  TOutputWriter(std::ostream& out, EFormat format,
                std::optional<std::set<std::int32_t>> shownLevels,
                std::string recordPrefix = std::string(), EFlush flush = EFlush::AtEnd);
  TOutputWriter(const TOutputWriter&) = delete;
  TOutputWriter& operator=(const TOutputWriter&) = delete;

  void ShowCalls() { m_showCalls = true; }
  // For an output nobody reads as it comes: the logged lines are held, and
  // once many are, formatted and written on a thread of their own while
  // the analysis goes on (a flooded log's 200,000 lines took a third of
  // its analysis to format). Not with a trace, whose calls come between
  // the lines. Finish writes what is held.
  void FormatAside() { m_aside = true; }
  // Writes every line held; the stream then has every line logged so far.
  void Finish();
  // Each JSONL line of a logged text then names the class and the instance
  // it concerns, from this inventory, which must outlive the writer's use.
  void NameConcerned(const NZARNCORE::TInventory& inventory) { m_inventory = &inventory; }
  // Findings and advice these acknowledge are shown as known, and counted
  // so; they must outlive the writer's use.
  void Acknowledge(TAcknowledgements& acknowledgements) { m_acknowledgements = &acknowledgements; }

  void OnLog(std::int32_t level, const std::string& text) override;
  void OnHostCall(const NZARNCORE::THostCall& call) override;

  const TLineCounts& Counts() const { return m_counts; }

 private:
  // What a JSONL line names the instance it concerns with, kept from line
  // to line: its label, and its class written as JSON, written again only
  // when the class changes (a flooded log's 200,000 lines name one).
  struct TNaming {
    std::string label;
    const NZARNCORE::TInventory* inventory = nullptr;  // whose class is written
    std::size_t classIndex = 0;
    std::string classJson;
  };

  void LineEnded();
  void AppendJsonConcerned(std::string& line, TNaming& naming, std::size_t instance) const;
  bool Shows(std::int32_t level) const;
  void AppendLine(std::string& line, TNaming& naming, std::int32_t level, std::string_view text,
                  const std::optional<std::size_t>& concerned,
                  const std::optional<TAcknowledgement>& acknowledged) const;
  void Hold(std::int32_t level, const std::string& text,
            const std::optional<TAcknowledgement>& acknowledged);
  void PassOn();
  // Formats and writes the held lines, one after the other.
  void WriteHeld(std::string_view held, std::string& line, TNaming& naming);

  std::ostream& m_out;
  EFormat m_format;
  std::optional<std::set<std::int32_t>> m_shownLevels;
  std::string m_recordPrefix;
  EFlush m_flush;
  bool m_showCalls = false;
  const NZARNCORE::TInventory* m_inventory = nullptr;
  TAcknowledgements* m_acknowledgements = nullptr;
  NZARNCORE::TLineAttribution m_attribution;
  TLineCounts m_counts;
  std::string m_line;  // a line, made whole before it is written
  TNaming m_naming;
  bool m_aside = false;
  std::string m_held;        // lines held, each a THeldLine and its text
  std::string m_handed;      // the ones the formatter has
  std::string m_handedLine;  // the formatter's m_line
  TNaming m_handedNaming;    // the formatter's m_naming
  std::unique_ptr<TWorkerThread> m_formatter;
};

}  // namespace NZARN
