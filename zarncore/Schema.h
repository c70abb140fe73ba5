#pragma once

namespace NZARNCORE {
namespace NSchema {

// The classes of an inventory that the host side collects, writes and
// reads, and the properties of each, spelled here once. The plug-in keeps
// its own names beside each check.

// The machine's own, which a collector reads.
struct TPciDevice {
  static constexpr char kClass[] = "QELSG_PCIDevice";
  static constexpr char kVendorId[] = "VendorID";
  static constexpr char kDeviceId[] = "PciDeviceID";
  static constexpr char kSubVendorId[] = "SubVendorID";
  static constexpr char kSubDeviceId[] = "SubDeviceID";
  static constexpr char kSlot[] = "Slot";            // Linux
  static constexpr char kDriver[] = "Driver";        // Linux
  static constexpr char kName[] = "Name";            // Windows
  static constexpr char kInstanceId[] = "DeviceID";  // Windows
};

struct TInstalledRpm {
  static constexpr char kClass[] = "QELSG_InstalledRPM";
  static constexpr char kProductName[] = "ProductName";
};

struct TInstalledApplication {
  static constexpr char kClass[] = "QELSG_InstalledApplication";
  static constexpr char kProductName[] = "ProductName";
  static constexpr char kVersion[] = "Version";
  static constexpr char kPublisher[] = "Publisher";
  static constexpr char kKey[] = "Key";
};

struct TSystemService {
  static constexpr char kClass[] = "QELSG_SystemServiceInfo";
  static constexpr char kName[] = "Name";
  static constexpr char kUnitFileState[] = "UnitFileState";  // Linux
  static constexpr char kDisplayName[] = "DisplayName";      // Windows
  static constexpr char kState[] = "State";
};

struct TEventLogRecord {
  static constexpr char kClass[] = "QELSG_WindowsSystemEventLogRecord";
  static constexpr char kEventId[] = "EventID";
  static constexpr char kSourceName[] = "SourceName";
  static constexpr char kMessage[] = "Message";
  static constexpr char kTimeGenerated[] = "TimeGenerated";
};

// The adapter's own records, which only its management software reports.
struct TScsiProtocolController {
  static constexpr char kClass[] = "QELSG_txSCSIProtocolController";
  static constexpr char kControllerType[] = "ControllerType";
  static constexpr char kControllerNum[] = "ControllerNum";
  static constexpr char kDataScrubbing[] = "DataScrubbing";
  static constexpr char kDriverVersion[] = "DeviceDriverVersion";
  static constexpr char kPartOfCluster[] = "PartOfCluster";
};

struct TBiosVersion {
  static constexpr char kClass[] = "QELSG_txBiosVersion";
  static constexpr char kName[] = "Name";
  static constexpr char kVersion[] = "Version";
};

struct TDiskDrive {
  static constexpr char kClass[] = "QELSG_txDiskDrive";
  static constexpr char kDeviceType[] = "DeviceType";
  static constexpr char kDeviceCode[] = "DeviceCode";
  static constexpr char kSerialNumber[] = "DeviceSerialNum";
  static constexpr char kControllerNum[] = "ControllerNum";
  static constexpr char kChannel[] = "Channel";
  static constexpr char kScsiId[] = "ScsiId";
};

struct TDiskDriveVersion {
  static constexpr char kClass[] = "QELSG_txDiskDriveVersion";
  static constexpr char kVersion[] = "Version";
};

struct TScsiDeviceData {
  static constexpr char kClass[] = "QELSG_txSCSIDeviceData";
  static constexpr char kControllerNum[] = "ControllerNum";
  static constexpr char kChannel[] = "Channel";
  static constexpr char kScsiId[] = "ScsiId";
  static constexpr char kParityErrors[] = "NumParityErrors";
  static constexpr char kSoftErrors[] = "NumSoftErrors";
  static constexpr char kHardErrors[] = "NumHardErrors";
  static constexpr char kPfa[] = "PFA";
  static constexpr char kMisc[] = "Misc";
};

struct TBadStripeData {
  static constexpr char kClass[] = "QELSG_BadStripeData";
  static constexpr char kControllerNum[] = "ControllerNum";
  static constexpr char kLogicalDrive[] = "LogicalDrive";
  static constexpr char kBadStripes[] = "NumBadStripes";
};

// The adapter's classes, in the order collectors record them.
inline constexpr const char* kAdapterSoftwareClasses[] = {
    TScsiProtocolController::kClass, TBiosVersion::kClass,    TDiskDrive::kClass,
    TDiskDriveVersion::kClass,       TScsiDeviceData::kClass, TBadStripeData::kClass};

}  // namespace NSchema
}  // namespace NZARNCORE
