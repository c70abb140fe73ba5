#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zarn/known/Acknowledgements.h"
#include "zarn/output/MonitoringOutput.h"
#include "zarncore/HostCall.h"
#include "zarncore/Inventory.h"
#include "zarncore/LineAttribution.h"

namespace NZARN {

// A line the plug-in logged during the check, with the instance it
// concerns.
struct TCheckLine {
  std::int32_t level;
  std::string text;
  std::string className;  // empty when the line concerns no instance
  std::string instance;   // its $id, or Class[index]; empty as className
  std::optional<NZARNCORE::TInventory::TInstanceIndex> concerned;
  std::optional<TAcknowledgement> acknowledgement;  // an entry of the known file names it
  // Known, so that it counts toward nothing.
  bool Known() const { return acknowledgement && !acknowledgement->ended; }
};

// The lines the plug-in logged, as the check reports them. It follows the
// host calls to tell which instance each line concerns.
class TLoggedLines : public NZARNCORE::IHostObserver {
 public:
  // The inventory analysed, which names the instances; it must outlive the
  // analysis.
  void NameConcerned(const NZARNCORE::TInventory& inventory) { m_inventory = &inventory; }
  // The entries of a known file that apply; they must outlive the analysis.
  void Acknowledge(TAcknowledgements& acknowledgements) { m_acknowledgements = &acknowledgements; }

  void OnLog(std::int32_t level, const std::string& text) override;
  void OnHostCall(const NZARNCORE::THostCall& call) override { m_attribution.OnHostCall(call); }

  const std::vector<TCheckLine>& Lines() const { return m_lines; }
  // The lines of the level that count: known ones left out.
  std::size_t Count(std::int32_t level) const;
  std::size_t CountKnown() const;
  // The findings that count, by the class of the instance they concern, in
  // the order first seen; "" for those that concern none.
  std::vector<std::pair<std::string, std::size_t>> FindingsByClass() const;
  // Leaves out the lines for which leave gives true; gives how many.
  std::size_t LeaveOut(const std::function<bool(const TCheckLine&)>& leave);

  // Findings, advice and errors, in the order they were logged; known
  // ones as "known finding: TEXT (until DATE: REASON)", those whose
  // acknowledgement ended as "finding: TEXT (acknowledgement ended after
  // DATE: REASON)".
  std::vector<std::string> LongOutput() const;

  // With a known file: ", 2 known, 1 acknowledgement ended" for the
  // summary (what is there), the performance value known=N, and a line
  // "unused: known[2] matched no finding: TEXT" for each entry that matched
  // nothing. Empty and none without one.
  std::string KnownSummary() const;
  std::optional<TPerfValue> KnownPerfValue() const;
  std::vector<std::string> UnusedLines() const;

 private:
  const NZARNCORE::TInventory* m_inventory = nullptr;
  TAcknowledgements* m_acknowledgements = nullptr;
  NZARNCORE::TLineAttribution m_attribution;
  std::vector<TCheckLine> m_lines;
};

}  // namespace NZARN
