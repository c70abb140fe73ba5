#include "fuzz/ShapedInventory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>
#include <utility>

#include <boost/json.hpp>

#include "fuzz/ByteReader.h"
#include "host/Analysis.h"
#include "zarncore/InventoryFormat.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/Schema.h"

namespace NFUZZ {
namespace {

using NQELZARN20::ECIMType;
using NQELZARN20::TZARNStatusCode;

const char* const kAnalysisClass = NQELZARN20::kHeavyHittersAnalysisClass;

// A class the checks read and the properties they read of it.
struct TClassShape {
  const char* name;
  std::vector<const char*> properties;
};

using namespace NZARNCORE::NSchema;

const TClassShape kClasses[] = {
    {TDiskDrive::kClass,
     {TDiskDrive::kDeviceType, TDiskDrive::kDeviceCode, TDiskDrive::kSerialNumber,
      TDiskDrive::kControllerNum, TDiskDrive::kChannel, TDiskDrive::kScsiId}},
    {TDiskDriveVersion::kClass, {TDiskDriveVersion::kVersion}},
    {TScsiProtocolController::kClass,
     {TScsiProtocolController::kControllerType, TScsiProtocolController::kControllerNum,
      TScsiProtocolController::kDataScrubbing, TScsiProtocolController::kDriverVersion,
      TScsiProtocolController::kPartOfCluster}},
    {TScsiDeviceData::kClass,
     {TScsiDeviceData::kControllerNum, TScsiDeviceData::kChannel, TScsiDeviceData::kScsiId,
      TScsiDeviceData::kParityErrors, TScsiDeviceData::kSoftErrors, TScsiDeviceData::kHardErrors,
      TScsiDeviceData::kPfa, TScsiDeviceData::kMisc}},
    {TBiosVersion::kClass, {TBiosVersion::kName, TBiosVersion::kVersion}},
    {TBadStripeData::kClass,
     {TBadStripeData::kControllerNum, TBadStripeData::kLogicalDrive, TBadStripeData::kBadStripes}},
    {TEventLogRecord::kClass, {TEventLogRecord::kEventId, TEventLogRecord::kMessage}},
    {TPciDevice::kClass, {TPciDevice::kVendorId, TPciDevice::kDeviceId}},
    {TInstalledApplication::kClass, {TInstalledApplication::kProductName}},
    {TInstalledRpm::kClass, {TInstalledRpm::kProductName}},
    {TSystemService::kClass, {TSystemService::kName}},
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
    "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE",
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

// A typed value as an inventory writes it: {"uint16": 645}.
boost::json::value Typed(ECIMType type, boost::json::value value) {
  boost::json::object typed;
  typed[std::string(NZARNCORE::TypeName(type))] = std::move(value);
  return typed;
}

// A file can hold only UTF-8: every other byte becomes U+FFFD.
std::string AsText(const std::string& bytes) {
  std::string text;
  for (const char c : bytes)
    text += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
  return text;
}

class TShaper {
 public:
  TShaper(const std::uint8_t* data, std::size_t size) : m_bytes(data, size) {}

  TShapedAnalysis Shape();

 private:
  std::int64_t Number() {
    return m_bytes.Below(4) == 0 ? std::int64_t(m_bytes.Wide()) : m_bytes.Pick(kNumbers);
  }
  boost::json::value Fault(const char* point) {
    boost::json::object fault{{NZARNCORE::kFaultStatusKey, m_bytes.Pick(kStatuses)}};
    if (point) fault[NZARNCORE::kFaultPointKey] = point;
    return fault;
  }
  std::string Text();
  boost::json::value Value(std::size_t kind);
  boost::json::value SignedValue();
  boost::json::value UnsignedValue();
  boost::json::value RealValue();
  void AddClass(std::size_t shape, boost::json::object& classes);
  void AddAssociations(boost::json::object& inventory);
  void SetOperatingSystemType(boost::json::object& inventory);

  TByteReader m_bytes;
  // The $ids of the instances of each class of kClasses, as added.
  std::vector<std::string> m_instances[sizeof kClasses / sizeof kClasses[0]];
  std::size_t m_instanceCount = 0;
};

std::string TShaper::Text() {
  switch (m_bytes.Below(4)) {
    case 0:
      return AsText(m_bytes.Bytes(24));
    case 1:
      return std::string(m_bytes.Pick(kTexts)) + m_bytes.Pick(kJoins) + m_bytes.Pick(kTexts);
    default:
      return m_bytes.Pick(kTexts);
  }
}

boost::json::value TShaper::SignedValue() {
  const std::size_t type = m_bytes.Below(4);
  const std::int64_t number = Number();
  switch (type) {
    case 0:
      return Typed(NQELZARN20::eCIMTypeSInt8, static_cast<std::int8_t>(number));
    case 1:
      return Typed(NQELZARN20::eCIMTypeSInt16, static_cast<std::int16_t>(number));
    case 2:
      return Typed(NQELZARN20::eCIMTypeSInt32, static_cast<std::int32_t>(number));
    default:
      return Typed(NQELZARN20::eCIMTypeSInt64, number);
  }
}

boost::json::value TShaper::UnsignedValue() {
  const std::size_t type = m_bytes.Below(4);
  const std::uint64_t number = static_cast<std::uint64_t>(Number());
  switch (type) {
    case 0:
      return Typed(NQELZARN20::eCIMTypeUInt8, static_cast<std::uint8_t>(number));
    case 1:
      return Typed(NQELZARN20::eCIMTypeUInt16, static_cast<std::uint16_t>(number));
    case 2:
      return Typed(NQELZARN20::eCIMTypeUInt32, static_cast<std::uint32_t>(number));
    default:
      return Typed(NQELZARN20::eCIMTypeUInt64, number);
  }
}

boost::json::value TShaper::RealValue() {
  const double number = m_bytes.Pick(kReals);
  if (m_bytes.Byte() & 1) return Typed(NQELZARN20::eCIMTypeReal64, number);
  return Typed(
      NQELZARN20::eCIMTypeReal32,
      static_cast<double>(static_cast<float>(std::min(std::max(number, -3.4e38), 3.4e38))));
}

boost::json::value TShaper::Value(std::size_t kind) {
  switch (kind) {
    case 0:
      return nullptr;
    case 1:
      return Typed(static_cast<ECIMType>(m_bytes.Below(14) + 1), nullptr);
    case 2:
      return Typed(NQELZARN20::eCIMTypeUInt16, static_cast<std::uint16_t>(Number()));
    case 3:
      return SignedValue();
    case 4:
      return UnsignedValue();
    case 5:
      return RealValue();
    case 6:
      return Typed(NQELZARN20::eCIMTypeBoolean, (m_bytes.Byte() & 1) != 0);
    case 7:
      return Typed(NQELZARN20::eCIMTypeChar16,
                   boost::json::string(1, static_cast<char>('A' + m_bytes.Below(26))));
    case 8:
      return Typed(NQELZARN20::eCIMTypeDateTime, m_bytes.Pick(kDateTimes));
    default:
      return boost::json::value(Text());
  }
}

void TShaper::AddClass(std::size_t shape, boost::json::object& classes) {
  const TClassShape& cimClass = kClasses[shape];
  switch (m_bytes.Below(16)) {
    case 0:
      return;  // the host does not have it
    case 1:
      classes[cimClass.name] = Fault(nullptr);
      return;
    case 2:
      classes[cimClass.name] = Fault(NZARNCORE::kEnumeratePoint);
      return;
    default:
      break;
  }
  boost::json::array& instances = classes[cimClass.name].emplace_array();
  for (std::size_t count = m_bytes.Below(5); count > 0; --count) {
    const std::string id = "i" + std::to_string(m_instanceCount++);
    boost::json::object& instance =
        instances.emplace_back(boost::json::object{{NZARNCORE::kIdKey, id}}).as_object();
    m_instances[shape].push_back(id);
    for (const char* property : cimClass.properties) {
      const std::size_t kind = m_bytes.Below(16);
      if (kind == 1) instance[property] = Fault(nullptr);
      if (kind == 2) instance[property] = Fault(NZARNCORE::kValuePoint);
      if (kind > 2) instance[property] = Value(kind - 3);
    }
  }
}

// Disks get a few version records each, in any order; then a few pairs of
// any two instances. Each pair is associated once.
void TShaper::AddAssociations(boost::json::object& inventory) {
  std::vector<std::string> all;
  for (const std::vector<std::string>& ids : m_instances)
    all.insert(all.end(), ids.begin(), ids.end());
  std::sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
    return std::stoul(a.substr(1)) < std::stoul(b.substr(1));
  });
  boost::json::array& pairs = inventory[NZARNCORE::kAssociationsKey].emplace_array();
  std::set<std::pair<std::string, std::string> > made;
  const auto associate = [&](const std::string& first, const std::string& second) {
    if (first != second && made.insert(std::minmax(first, second)).second)
      pairs.push_back(boost::json::array{first, second});
  };
  const std::vector<std::string>& versions = m_instances[kDiskVersionClass];
  for (const std::string& disk : m_instances[kDiskClass])
    for (std::size_t count = versions.empty() ? 0 : m_bytes.Below(3); count > 0; --count)
      associate(disk, versions[m_bytes.Below(versions.size())]);
  for (std::size_t count = all.empty() ? 0 : m_bytes.Below(4); count > 0; --count)
    associate(all[m_bytes.Below(all.size())], all[m_bytes.Below(all.size())]);
}

void TShaper::SetOperatingSystemType(boost::json::object& inventory) {
  const std::uint16_t kTypes[] = {36, 78, 81, 18};
  const std::size_t kind = m_bytes.Below(8);
  if (kind == 0) return;  // the host cannot tell
  if (kind == 1) {
    inventory[NZARNCORE::kOperatingSystemTypeKey] = Fault(nullptr);
  } else if (kind < 6) {
    inventory[NZARNCORE::kOperatingSystemTypeKey] = kTypes[kind - 2];
  } else {
    inventory[NZARNCORE::kOperatingSystemTypeKey] = static_cast<std::uint16_t>(m_bytes.Word());
  }
}

TShapedAnalysis TShaper::Shape() {
  TShapedAnalysis analysis;
  for (const char* name : m_bytes.Pick(kClassLists))
    if (name) analysis.classes.push_back(name);
  analysis.runs = m_bytes.Below(4) == 0 ? 2 : 1;
  boost::json::object inventory;
  SetOperatingSystemType(inventory);
  boost::json::object& classes = inventory[NZARNCORE::kClassesKey].emplace_object();
  for (std::size_t shape = 0; shape < sizeof kClasses / sizeof kClasses[0]; ++shape)
    AddClass(shape, classes);
  AddAssociations(inventory);
  analysis.inventory =
      NZARNCORE::LoadInventoryText(boost::json::serialize(inventory), "shaped.json");
  return analysis;
}

}  // namespace

TShapedAnalysis ShapeAnalysis(const std::uint8_t* data, std::size_t size) {
  return TShaper(data, size).Shape();
}

}  // namespace NFUZZ
