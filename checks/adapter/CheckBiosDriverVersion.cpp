#include <boost/lexical_cast.hpp>

#include "checks/adapter/ScsiController.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kDeviceDriverVersion[] = "DeviceDriverVersion";

const char kBiosClass[] = "QELSG_txBiosVersion";
const char kBiosName[] = "Name";
const char kBiosVersion[] = "Version";
const char kBiosNameStart[] = "Tarvex";
const char kBiosNameEnd[] = " BIOS";

// This model's BIOS and driver are versioned apart; a mismatch is expected.
const char kExemptModel[] = "Tarvex-3q";

const char kMajorSeparator = '.';
const char kBuildSeparator = '-';
// Up to this major version the minor part has two digits, or one digit and a
// build number after a dash.
const unsigned int kLastTwoDigitMinor = 4;

const char kLineStart[] = "Bios version: ";
const char kLineDriver[] = " Doesn't match with device driver version: ";
const char kLineNumber[] = " for controller number ";
const char kLineType[] = " controller type ";
const char kFormatLine[] = "Bios or devicedriver not in comparable format";

typedef std::string::size_type TSize;

// The parts of a BIOS and a driver version that have to agree; whole texts
// unless both have the same known layout.
struct TVersionKeys {
  std::string bios;
  std::string driver;
};

// The versions cannot be cut to their significant parts: say so and compare
// them whole.
TVersionKeys Uncomparable(const std::string& bios, const std::string& driver) {
  ReportFinding(kLevelDiagnostic, kFormatLine);
  return TVersionKeys{bios, driver};
}

TVersionKeys KeysForHighMajor(const std::string& bios, const std::string& driver, TSize dot) {
  if (bios.size() < dot + 2 || driver.size() < dot + 2) return Uncomparable(bios, driver);
  return TVersionKeys{bios.substr(0, dot + 2), driver.substr(0, dot + 2)};
}

// A BIOS build number follows one minor digit, a driver's two; a driver
// without one is compared whole.
TVersionKeys KeysForLowMajor(const std::string& bios, const std::string& driver, TSize dot) {
  if (bios.size() < dot + 3 || driver.size() < dot + 3) return Uncomparable(bios, driver);
  if (bios.size() >= dot + 4 && bios[dot + 2] == kBuildSeparator) {
    const bool driverBuild = driver.size() >= dot + 4 && driver[dot + 3] == kBuildSeparator;
    return TVersionKeys{bios.substr(0, dot + 4), driverBuild ? driver.substr(0, dot + 4) : driver};
  }
  return TVersionKeys{bios.substr(0, dot + 3), driver.substr(0, dot + 3)};
}

TVersionKeys ComparisonKeys(const std::string& bios, const std::string& driver) {
  const TSize biosDot = bios.find(kMajorSeparator);
  const TSize driverDot = driver.find(kMajorSeparator);
  if (biosDot == std::string::npos || driverDot == std::string::npos)
    return TVersionKeys{bios, driver};
  const std::string major = bios.substr(0, biosDot);
  if (major != driver.substr(0, driverDot)) return TVersionKeys{bios, driver};

  unsigned int majorNumber = 0;
  try {
    majorNumber = boost::lexical_cast<unsigned int>(major);
  } catch (const boost::bad_lexical_cast&) {
    // A major part that is no number has no known layout either.
    return Uncomparable(bios, driver);
  }
  if (majorNumber > kLastTwoDigitMinor) return KeysForHighMajor(bios, driver, biosDot);
  return KeysForLowMajor(bios, driver, biosDot);
}

}  // namespace

// Reports every controller whose BIOS and driver versions disagree in their
// significant leading part.
void TTvxAnalPluginCallbacks::CheckBiosDriverVersion(TNamespacePtr cimNamespace) {
  const NQELZARN20::TCIMContext queryContext = MakeQueryContext();
  const TClassPtr controllerClass = LookUpClass(cimNamespace, kControllerClass, queryContext);
  const TClassPtr biosClass = LookUpClass(cimNamespace, kBiosClass, queryContext);
  const TInstanceList controllers = EnumerateInstances(controllerClass);
  for (const TInstancePtr& controller : controllers) {
    const NQELZARN20::TCIMValue type = ReadProperty(controller, kControllerType);
    if (type.IsNull()) continue;
    const NQELZARN20::TCIMValue number = ReadProperty(controller, kControllerNum);
    if (number.IsNull()) continue;
    const NQELZARN20::TCIMValue driverValue = ReadProperty(controller, kDeviceDriverVersion);
    if (driverValue.IsNull()) continue;

    const std::string typeText = type.ToString(10);
    const std::string numberText = number.ToString(10);
    const std::string driver = driverValue.ToString(10);
    const std::string biosName = kBiosNameStart + numberText + kBiosNameEnd;
    // Every BIOS that bears the controller's name is compared, not only the
    // first.
    const TInstanceList biosVersions = EnumerateInstances(biosClass);
    for (const TInstancePtr& biosVersion : biosVersions) {
      const NQELZARN20::TCIMValue name = ReadProperty(biosVersion, kBiosName);
      if (name.IsNull() || name.ToString(10) != biosName) continue;
      const NQELZARN20::TCIMValue biosValue = ReadProperty(biosVersion, kBiosVersion);
      if (biosValue.IsNull()) continue;

      const std::string bios = biosValue.ToString(10);
      const TVersionKeys keys = ComparisonKeys(bios, driver);
      if (keys.bios == keys.driver || typeText.find(kExemptModel) != std::string::npos) continue;
      ReportFinding(kLevelFinding, MessagePrefix + kLineStart + bios + kLineDriver + driver +
                                       kLineNumber + numberText + kLineType + typeText);
    }
  }
}

}  // namespace NTVXANAL
