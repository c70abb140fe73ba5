#include "fuzz/ShapedInventory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>
#include <utility>

#include <boost/make_shared.hpp>

#include "fuzz/ByteReader.h"

namespace NFUZZ {
namespace {

using NQELZARN20::ECIMType;
using NQELZARN20::TCIMValue;
using NQELZARN20::TZARNStatusCode;
using NZARNCORE::EClassFault;
using NZARNCORE::EPropertyFault;
using NZARNCORE::TInventory;

const char kAnalysisClass[] = "QELSG_TVXHeavyHittersAnalysis";

// A class the checks read and the properties they read of it.
struct TClassShape {
  const char* name;
  std::vector<const char*> properties;
};

const TClassShape kClasses[] = {
    {"QELSG_txDiskDrive",
     {"DeviceType", "DeviceCode", "DeviceSerialNum", "ControllerNum", "Channel", "ScsiId"}},
    {"QELSG_txDiskDriveVersion", {"Version"}},
    {"QELSG_txSCSIProtocolController",
     {"ControllerType", "ControllerNum", "DataScrubbing", "DeviceDriverVersion", "PartOfCluster"}},
    {"QELSG_txSCSIDeviceData",
     {"ControllerNum", "Channel", "ScsiId", "NumParityErrors", "NumSoftErrors", "NumHardErrors",
      "PFA", "Misc"}},
    {"QELSG_txBiosVersion", {"Name", "Version"}},
    {"QELSG_BadStripeData", {"ControllerNum", "LogicalDrive", "NumBadStripes"}},
    {"QELSG_WindowsSystemEventLogRecord", {"EventID", "Message"}},
    {"QELSG_PCIDevice", {"VendorID", "PciDeviceID"}},
    {"QELSG_InstalledApplication", {"ProductName"}},
    {"QELSG_InstalledRPM", {"ProductName"}},
    {"QELSG_SystemServiceInfo", {"Name"}},
};
const std::size_t kDiskClass = 0;
const std::size_t kDiskVersionClass = 1;

// Status 15 (not available) is what the checks guard against most; the others
// must travel on.
const TZARNStatusCode kStatuses[] = {15, 15, 15, 0, 1, 4, 22, -1, INT32_MIN, INT32_MAX};

// Texts on the checks' edges: the words they look for, near misses, version
// layouts with and without dots and dashes, numbers past every limit, and
// bytes that are no text at all.
const char* const kTexts[] = {
    "",
    " ",
    "Hard disk",
    "hard disk",
    "Hard disk ",
    "CD-ROM",
    "QEL-RND 36G",
    "qel-mbno 73G",
    "xQEL-VTRAx",
    "QEL-RN",
    "Disabled",
    "No",
    "Enabled",
    "Yes",
    "Yes!",
    "Ye",
    "yes",
    "Tarvex",
    "Tarvex0 BIOS",
    "Tarvex1 BIOS",
    " BIOS",
    "Tarvex-3q",
    "Tarvex-4a",
    "Tarvex Manager 6.40",
    "TARVEX MANAGER",
    "tvxmgr-6.40-1.x86_64",
    "TarvexManagerAgent",
    "tarvexmanageragen",
    "5.10",
    "5.10-1",
    "5.1",
    "4.12",
    "4.1-2",
    "4.1-",
    "4.1",
    "4.",
    "4",
    "04.10",
    "+4.10",
    "-4.10",
    " 4.10",
    "4294967296.10",
    "99999999999999999999.1",
    ".",
    "-",
    ".-",
    "x.y-z",
    "0",
    "1",
    "-1",
    "9",
    "11",
    "15",
    "26",
    "50",
    "51",
    "  26",
    "26abc",
    "+51",
    "2147483647",
    "2147483648",
    "-2147483648",
    "-2147483649",
    "99999999999999999999999",
    "zelk412.sys",
    "\\Device\\qvtmpdrv.sys reported an error",
    "ZELK412.SYS",
    "qvtmpdrv.sy",
    "\xC3\xA9\xFF\xFE invalid",
    "\xE2\x82",
};

// Joins two texts into one: a version, a BIOS name, a number with a tail.
const char* const kJoins[] = {"", ".", "-", " ", "Tarvex", " BIOS"};

const std::int64_t kNumbers[] = {
    0,     1,     -1,        9,         11,         15,        26,        50,         51,
    36,    78,    81,        0x9005,    0x0285,     0x0286,    0x041E,    255,        256,
    65535, 65536, INT32_MAX, INT32_MIN, 4294967296, INT64_MAX, INT64_MIN, -2147483649};

const double kReals[] = {0.0, -0.0, 0.5,  1.0,     26.0,
                         4.1, 5.1,  1e20, -1e-300, 1.7976931348623157e308};

const char* const kDateTimes[] = {"20261206083000.000000+060", "00000001020304.000000:000",
                                  "2026****083000.******-300"};

const ECIMType kSignedTypes[] = {NQELZARN20::eCIMTypeSInt8, NQELZARN20::eCIMTypeSInt16,
                                 NQELZARN20::eCIMTypeSInt32, NQELZARN20::eCIMTypeSInt64};
const ECIMType kUnsignedTypes[] = {NQELZARN20::eCIMTypeUInt8, NQELZARN20::eCIMTypeUInt16,
                                   NQELZARN20::eCIMTypeUInt32, NQELZARN20::eCIMTypeUInt64};

const char* const kClassLists[][2] = {
    {nullptr, nullptr},
    {"QELSG_TVXHeavyHitters", nullptr},
    {kAnalysisClass, kAnalysisClass},
    {"qelsg_tvxheavyhittersanalysis", kAnalysisClass},
    {" QELSG_TVXHeavyHittersAnalysis", kAnalysisClass},
    {kAnalysisClass, nullptr},
    {kAnalysisClass, nullptr},
    {kAnalysisClass, nullptr},
};

class TShaper {
 public:
  TShaper(const std::uint8_t* data, std::size_t size) : m_bytes(data, size) {}

  TShapedAnalysis Shape();

 private:
  std::int64_t Number() {
    return m_bytes.Below(4) == 0 ? std::int64_t(m_bytes.Wide()) : m_bytes.Pick(kNumbers);
  }
  std::string Text();
  TCIMValue Value(std::size_t kind);
  TCIMValue SignedValue();
  TCIMValue UnsignedValue();
  TCIMValue RealValue();
  void AddProperty(TInventory::TInstanceIndex instance, const char* name);
  void AddClass(std::size_t shape);
  void AddAssociations();
  void SetOperatingSystemType();

  TByteReader m_bytes;
  boost::shared_ptr<TInventory> m_inventory = boost::make_shared<TInventory>();
  // The instances of each class of kClasses, as added.
  std::vector<TInventory::TInstanceIndex> m_instances[sizeof kClasses / sizeof kClasses[0]];
};

std::string TShaper::Text() {
  switch (m_bytes.Below(4)) {
    case 0:
      return m_bytes.Bytes(24);
    case 1:
      return std::string(m_bytes.Pick(kTexts)) + m_bytes.Pick(kJoins) + m_bytes.Pick(kTexts);
    default:
      return m_bytes.Pick(kTexts);
  }
}

TCIMValue TShaper::SignedValue() {
  const ECIMType type = m_bytes.Pick(kSignedTypes);
  const std::int64_t number = Number();
  switch (type) {
    case NQELZARN20::eCIMTypeSInt8:
      return TCIMValue::Signed(type, static_cast<std::int8_t>(number));
    case NQELZARN20::eCIMTypeSInt16:
      return TCIMValue::Signed(type, static_cast<std::int16_t>(number));
    case NQELZARN20::eCIMTypeSInt32:
      return TCIMValue::Signed(type, static_cast<std::int32_t>(number));
    default:
      return TCIMValue::Signed(type, number);
  }
}

TCIMValue TShaper::UnsignedValue() {
  const ECIMType type = m_bytes.Pick(kUnsignedTypes);
  const std::uint64_t number = static_cast<std::uint64_t>(Number());
  switch (type) {
    case NQELZARN20::eCIMTypeUInt8:
      return TCIMValue::Unsigned(type, static_cast<std::uint8_t>(number));
    case NQELZARN20::eCIMTypeUInt16:
      return TCIMValue::Unsigned(type, static_cast<std::uint16_t>(number));
    case NQELZARN20::eCIMTypeUInt32:
      return TCIMValue::Unsigned(type, static_cast<std::uint32_t>(number));
    default:
      return TCIMValue::Unsigned(type, number);
  }
}

// Finite values only, as no inventory can give others.
TCIMValue TShaper::RealValue() {
  const double number = m_bytes.Pick(kReals);
  if (m_bytes.Byte() & 1) return TCIMValue::Real(NQELZARN20::eCIMTypeReal64, number);
  const double single = std::min(std::max(number, -3.4e38), 3.4e38);
  return TCIMValue::Real(NQELZARN20::eCIMTypeReal32, static_cast<float>(single));
}

TCIMValue TShaper::Value(std::size_t kind) {
  switch (kind) {
    case 0:
      return TCIMValue();
    case 1:
      return TCIMValue::Null(static_cast<ECIMType>(1 + m_bytes.Below(14)));
    case 2:
      return TCIMValue::Unsigned(NQELZARN20::eCIMTypeUInt16, static_cast<std::uint16_t>(Number()));
    case 3:
      return SignedValue();
    case 4:
      return UnsignedValue();
    case 5:
      return RealValue();
    case 6:
      return TCIMValue::Boolean(m_bytes.Byte() & 1);
    case 7:
      return TCIMValue::Text(NQELZARN20::eCIMTypeChar16,
                             std::string(1, static_cast<char>('A' + m_bytes.Below(26))));
    case 8:
      return TCIMValue::Text(NQELZARN20::eCIMTypeDateTime, m_bytes.Pick(kDateTimes));
    default:
      return TCIMValue(Text());
  }
}

void TShaper::AddProperty(TInventory::TInstanceIndex instance, const char* name) {
  const std::size_t kind = m_bytes.Below(16);
  switch (kind) {
    case 0:
      return;  // the instance does not have it
    case 1:
      return m_inventory->AddPropertyFault(instance, name, EPropertyFault::Lookup,
                                           m_bytes.Pick(kStatuses));
    case 2:
      return m_inventory->AddPropertyFault(instance, name, EPropertyFault::Value,
                                           m_bytes.Pick(kStatuses));
    default:
      m_inventory->AddProperty(instance, name, Value(kind - 3));
  }
}

void TShaper::AddClass(std::size_t shape) {
  const TClassShape& cimClass = kClasses[shape];
  switch (m_bytes.Below(16)) {
    case 0:
      return;  // the host does not have it
    case 1:
      return m_inventory->AddClassFault(cimClass.name, EClassFault::Lookup,
                                        m_bytes.Pick(kStatuses));
    case 2:
      return m_inventory->AddClassFault(cimClass.name, EClassFault::Enumerate,
                                        m_bytes.Pick(kStatuses));
    default:
      break;
  }
  const std::size_t classIndex = m_inventory->AddClass(cimClass.name);
  for (std::size_t count = m_bytes.Below(5); count > 0; --count) {
    const TInventory::TInstanceIndex instance = m_inventory->AddInstance(classIndex, std::string());
    m_instances[shape].push_back(instance);
    for (const char* property : cimClass.properties) AddProperty(instance, property);
  }
}

// Disks get a few version records each, in any order; then a few pairs of
// any two instances. Each pair is associated once.
void TShaper::AddAssociations() {
  std::set<std::pair<TInventory::TInstanceIndex, TInventory::TInstanceIndex> > made;
  const auto associate = [&](TInventory::TInstanceIndex first, TInventory::TInstanceIndex second) {
    if (first != second && made.insert(std::minmax(first, second)).second)
      m_inventory->Associate(first, second);
  };
  const std::vector<TInventory::TInstanceIndex>& versions = m_instances[kDiskVersionClass];
  for (const TInventory::TInstanceIndex disk : m_instances[kDiskClass])
    for (std::size_t count = versions.empty() ? 0 : m_bytes.Below(3); count > 0; --count)
      associate(disk, versions[m_bytes.Below(versions.size())]);
  const std::size_t instances = m_inventory->InstanceCount();
  for (std::size_t count = instances == 0 ? 0 : m_bytes.Below(4); count > 0; --count)
    associate(m_bytes.Below(instances), m_bytes.Below(instances));
}

void TShaper::SetOperatingSystemType() {
  switch (m_bytes.Below(8)) {
    case 0:
      return;  // the host cannot tell
    case 1:
      return m_inventory->SetOperatingSystemTypeFault(m_bytes.Pick(kStatuses));
    case 2:
      return m_inventory->SetOperatingSystemType(36);
    case 3:
      return m_inventory->SetOperatingSystemType(78);
    case 4:
      return m_inventory->SetOperatingSystemType(81);
    case 5:
      return m_inventory->SetOperatingSystemType(18);
    default:
      return m_inventory->SetOperatingSystemType(static_cast<std::uint16_t>(m_bytes.Word()));
  }
}

TShapedAnalysis TShaper::Shape() {
  TShapedAnalysis analysis;
  for (const char* name : m_bytes.Pick(kClassLists))
    if (name) analysis.classes.push_back(name);
  analysis.runs = m_bytes.Below(4) == 0 ? 2 : 1;
  SetOperatingSystemType();
  for (std::size_t shape = 0; shape < sizeof kClasses / sizeof kClasses[0]; ++shape)
    AddClass(shape);
  AddAssociations();
  analysis.inventory = m_inventory;
  return analysis;
}

}  // namespace

TShapedAnalysis ShapeAnalysis(const std::uint8_t* data, std::size_t size) {
  return TShaper(data, size).Shape();
}

}  // namespace NFUZZ
