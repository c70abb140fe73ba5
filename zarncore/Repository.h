#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/shared_ptr.hpp>

#include "host/CIM.h"
#include "host/ZarnApi.h"
#include "zarncore/HostCall.h"
#include "zarncore/Inventory.h"

namespace NZARNCORE {

// The in-memory CIM repository over one inventory. Every namespace, class,
// instance and property object it hands out is counted while it lives, so
// the host can tell whether a plug-in still holds any of them.
class ZARN_API TRepository {
 public:
  explicit TRepository(boost::shared_ptr<const TInventory> inventory);
  ~TRepository();
  TRepository(const TRepository&) = delete;
  TRepository& operator=(const TRepository&) = delete;

  // What the observer is told of the calls: every call with its names, for
  // a trace; or only the calls that name an instance, by its place in the
  // inventory alone, which is all that telling which instance a logged line
  // concerns needs (TLineAttribution) and costs no text per call.
  enum class ECallDetail { Full, InstancesOnly };

  // Calls are reported to the observer only while one is set.
  void SetCallObserver(IHostObserver* observer, ECallDetail detail = ECallDetail::Full);

  boost::shared_ptr<NQELZARN20::ICIMNamespace> OpenNamespace();
  // A class object for the list given to RunAnalysis; the name need not be
  // a class of the inventory.
  boost::shared_ptr<NQELZARN20::ICIMClass> MakeClass(const std::string& name);

  std::size_t OutstandingReferences() const;

  struct TState;

 private:
  TState* m_state;  // see TState
};

// The operating-system type of a namespace this host handed out; throws
// TZARNException when the inventory has none or replays a fault.
std::uint16_t OperatingSystemTypeOf(NQELZARN20::ICIMNamespace& cimNamespace);

}  // namespace NZARNCORE
