#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include <boost/shared_ptr.hpp>

#include "host/CIMValue.h"
#include "zarncore/Inventory.h"

namespace NTESTS {

using NQELZARN20::TCIMValue;
using NZARNCORE::EClassFault;
using NZARNCORE::EPropertyFault;

// A property of a test instance: a value, or a fault the host replays.
struct TTestProperty {
  TTestProperty(std::string propertyName, TCIMValue propertyValue)
      : name(std::move(propertyName)), value(std::move(propertyValue)) {}
  TTestProperty(std::string propertyName, const char* text)
      : name(std::move(propertyName)), value(text) {}
  TTestProperty(std::string propertyName, EPropertyFault where, NQELZARN20::TZARNStatusCode status)
      : name(std::move(propertyName)), fault(where), faultStatus(status) {}

  std::string name;
  TCIMValue value;
  EPropertyFault fault = EPropertyFault::None;
  NQELZARN20::TZARNStatusCode faultStatus = 0;
};

// Builds an in-memory inventory a few lines at a time:
//   builder.Add("QELSG_txBiosVersion", {{"Name", "Tarvex1 BIOS"}, {"Version", "5.10"}});
class TInventoryBuilder {
 public:
  TInventoryBuilder();

  // A class with no instances; Add creates the class on first use.
  TInventoryBuilder& Class(const std::string& className);
  TInventoryBuilder& Add(const std::string& className,
                         std::initializer_list<TTestProperty> properties,
                         const std::string& id = std::string());
  TInventoryBuilder& ClassFault(const std::string& className, EClassFault where,
                                NQELZARN20::TZARNStatusCode status);
  TInventoryBuilder& Associate(const std::string& firstId, const std::string& secondId);
  TInventoryBuilder& OperatingSystemType(std::uint16_t type);
  TInventoryBuilder& OperatingSystemTypeFault(NQELZARN20::TZARNStatusCode status);

  boost::shared_ptr<const NZARNCORE::TInventory> Build() const { return m_inventory; }

 private:
  boost::shared_ptr<NZARNCORE::TInventory> m_inventory;
};

// Lists, without instances, every class the analysis reads that the
// inventory does not list yet (RPMs included), so a pass is ended only by
// what a test gives.
TInventoryBuilder& ListEveryClass(TInventoryBuilder& inventory);

// A server on which the analysis finds nothing: every class the checks read,
// without instances, and the adapter management software installed, so that
// only what a test adds can give a line.
TInventoryBuilder QuietServer();

// Typed values, for properties that are not plain strings.
TCIMValue UInt16(std::uint16_t number);
TCIMValue UInt32(std::uint32_t number);
TCIMValue SInt32(std::int32_t number);
TCIMValue Null(NQELZARN20::ECIMType type = NQELZARN20::eCIMTypeString);

}  // namespace NTESTS
