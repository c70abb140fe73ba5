#pragma once

#include <cstddef>
#include <optional>

#include "zarncore/HostCall.h"

namespace NZARNCORE {

// Which instance a line the plug-in logs concerns: the one it read last
// before it wrote the line, that is, the last instance it asked for a
// property or for its associated instances, whether the call succeeded or
// threw. A line logged before any such call concerns none. It needs every
// host call of the analysis, in order, as the repository reports them to
// its call observer (the calls that name an instance are enough:
// TRepository::ECallDetail::InstancesOnly); the inventory names the
// instance (TInventory::Label, ClassOf).
class TLineAttribution {
 public:
  void OnHostCall(const THostCall& call) {
    if (call.instanceIndex) m_concerned = call.instanceIndex;
  }

  // The instance a line logged now concerns.
  const std::optional<std::size_t>& Concerned() const { return m_concerned; }

 private:
  std::optional<std::size_t> m_concerned;
};

}  // namespace NZARNCORE
