#include "support/InventoryBuilder.h"

#include <boost/make_shared.hpp>

namespace NTESTS {

using NQELZARN20::ECIMType;

TInventoryBuilder::TInventoryBuilder() : m_inventory(boost::make_shared<NZARNCORE::TInventory>()) {}

TInventoryBuilder& TInventoryBuilder::Class(const std::string& className) {
  if (m_inventory->FindClass(className) == nullptr) m_inventory->AddClass(className);
  return *this;
}

TInventoryBuilder& TInventoryBuilder::Add(const std::string& className,
                                          std::initializer_list<TTestProperty> properties,
                                          const std::string& id) {
  Class(className);
  std::size_t classIndex = 0;
  while (m_inventory->Class(classIndex).name != className) ++classIndex;
  const NZARNCORE::TInventory::TInstanceIndex instance = m_inventory->AddInstance(classIndex, id);
  for (const TTestProperty& property : properties) {
    if (property.fault == EPropertyFault::None)
      m_inventory->AddProperty(instance, property.name, property.value);
    else
      m_inventory->AddPropertyFault(instance, property.name, property.fault, property.faultStatus);
  }
  return *this;
}

TInventoryBuilder& TInventoryBuilder::ClassFault(const std::string& className, EClassFault where,
                                                 NQELZARN20::TZARNStatusCode status) {
  m_inventory->AddClassFault(className, where, status);
  return *this;
}

TInventoryBuilder& TInventoryBuilder::Associate(const std::string& firstId,
                                                const std::string& secondId) {
  m_inventory->Associate(*m_inventory->FindInstanceById(firstId),
                         *m_inventory->FindInstanceById(secondId));
  return *this;
}

TInventoryBuilder& TInventoryBuilder::OperatingSystemType(std::uint16_t type) {
  m_inventory->SetOperatingSystemType(type);
  return *this;
}

TInventoryBuilder& TInventoryBuilder::OperatingSystemTypeFault(NQELZARN20::TZARNStatusCode status) {
  m_inventory->SetOperatingSystemTypeFault(status);
  return *this;
}

TInventoryBuilder& ListEveryClass(TInventoryBuilder& inventory) {
  for (const char* className :
       {"QELSG_txDiskDrive", "QELSG_txSCSIProtocolController", "QELSG_PCIDevice",
        "QELSG_InstalledApplication", "QELSG_InstalledRPM", "QELSG_txSCSIDeviceData",
        "QELSG_WindowsSystemEventLogRecord", "QELSG_txBiosVersion", "QELSG_BadStripeData",
        "QELSG_SystemServiceInfo"})
    inventory.Class(className);
  return inventory;
}

TInventoryBuilder QuietServer() {
  TInventoryBuilder inventory;
  inventory.Add("QELSG_InstalledApplication", {{"ProductName", "Tarvex Manager 6.40"}})
      .OperatingSystemType(18);
  return ListEveryClass(inventory);
}

TCIMValue UInt16(std::uint16_t number) {
  return TCIMValue::Unsigned(NQELZARN20::eCIMTypeUInt16, number);
}

TCIMValue UInt32(std::uint32_t number) {
  return TCIMValue::Unsigned(NQELZARN20::eCIMTypeUInt32, number);
}

TCIMValue SInt32(std::int32_t number) {
  return TCIMValue::Signed(NQELZARN20::eCIMTypeSInt32, number);
}

TCIMValue Null(ECIMType type) { return TCIMValue::Null(type); }

}  // namespace NTESTS
