#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "cim/Query.h"
#include "host/Zarn.h"

namespace NTVXANAL {

// The plug-in object: registered with the host when the library is loaded,
// it answers the identity questions and runs the analysis.
class TTvxAnalPluginCallbacks : public NQELZARN20::IPluginCallbacks,
                                public NQELZARN20::IPluginBasicQueryCallbacks {
 public:
  TTvxAnalPluginCallbacks();
  ~TTvxAnalPluginCallbacks() override;

  std::int32_t GetPluginType() override;
  std::string GetPluginName() override;
  std::string GetPluginVersion() override;
  std::string GetInterfaceVersion() override;
  void Destroy() override;
  void FirstHook() override;
  void SecondHook() override;

  void RunAnalysis(TNamespacePtr cimNamespace,
                   const std::vector<boost::shared_ptr<NQELZARN20::ICIMClass> >& classes) override;

 private:
  void RunChecks(const TNamespacePtr& cimNamespace);

  // The checks, in the order an analysis runs them.
  void CheckDiskVendors(TNamespacePtr cimNamespace);
  void ReadDiskSerialNumbers(TNamespacePtr cimNamespace);
  void ReadDiskDriveVersions(TNamespacePtr cimNamespace);
  void CheckManagerInstalled(TNamespacePtr cimNamespace);
  bool IsAdapterPresent(TInstancePtr device, std::uint16_t vendorId, std::uint16_t deviceId);
  void CheckScsiDeviceErrors(TNamespacePtr cimNamespace);
  void CheckEventLog(TNamespacePtr cimNamespace);
  void CheckBiosDriverVersion(TNamespacePtr cimNamespace);
  void CheckDataScrubbing(TNamespacePtr cimNamespace);
  void CheckBadStripes(TNamespacePtr cimNamespace);
  void CheckReserved(TNamespacePtr cimNamespace);
  void CheckManagerAgent(TNamespacePtr cimNamespace);

  // "Tarvex: " once an analysis has run; the findings of the adapter and
  // disk checks begin with it.
  std::string MessagePrefix;
  // Left by CheckManagerInstalled for CheckManagerAgent later in the same run.
  bool PciAdapterFound;
  bool ManagerInstalled;
  // Set and read by CheckManagerInstalled.
  bool ControllerFound;
  // Set and read by CheckManagerAgent.
  bool AgentInstalled;
};

}  // namespace NTVXANAL
