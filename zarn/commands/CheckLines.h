#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
};

// The lines the plug-in logged, as the check reports them. It follows the
// host calls to tell which instance each line concerns.
class TLoggedLines : public NZARNCORE::IHostObserver {
 public:
  // The inventory analysed, which names the instances; it must outlive the
  // analysis.
  void NameConcerned(const NZARNCORE::TInventory& inventory) { m_inventory = &inventory; }

  void OnLog(std::int32_t level, const std::string& text) override;
  void OnHostCall(const NZARNCORE::THostCall& call) override { m_attribution.OnHostCall(call); }

  const std::vector<TCheckLine>& Lines() const { return m_lines; }
  std::size_t Count(std::int32_t level) const;
  // Leaves out the lines for which leave gives true; gives how many.
  std::size_t LeaveOut(const std::function<bool(const TCheckLine&)>& leave);

  // Findings, advice and errors, in the order they were logged.
  std::vector<std::string> LongOutput() const;

 private:
  const NZARNCORE::TInventory* m_inventory = nullptr;
  NZARNCORE::TLineAttribution m_attribution;
  std::vector<TCheckLine> m_lines;
};

}  // namespace NZARN
