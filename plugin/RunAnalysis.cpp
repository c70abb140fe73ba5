#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kMessagePrefix[] = "Tarvex: ";

}  // namespace

void TTvxAnalPluginCallbacks::RunAnalysis(
    TNamespacePtr cimNamespace,
    const std::vector<boost::shared_ptr<NQELZARN20::ICIMClass> >& classes) {
  MessagePrefix = kMessagePrefix;
  for (const boost::shared_ptr<NQELZARN20::ICIMClass>& cimClass : classes) {
    if (cimClass->GetName(NQELZARN20::TCIMContext()) != NQELZARN20::kHeavyHittersAnalysisClass)
      continue;
    try {
      RunChecks(cimNamespace);
    } catch (const NQELZARN20::TZARNException& error) {
      // A class or property the host cannot deliver ends this pass only;
      // any other host failure is the host's to handle.
      if (error.GetStatusCode() != NQELZARN20::kZARNStatusNotAvailable)
        throw NQELZARN20::TZARNException(error);
      ReportFinding(kLevelError, kClassOrPropertyMissingLine);
    }
  }
}

// Each check gets its own copy of the namespace reference and lets it go
// when it returns.
void TTvxAnalPluginCallbacks::RunChecks(const TNamespacePtr& cimNamespace) {
  typedef void (TTvxAnalPluginCallbacks::*TCheck)(TNamespacePtr);
  static const TCheck kSequence[] = {
      &TTvxAnalPluginCallbacks::CheckDiskVendors,
      &TTvxAnalPluginCallbacks::ReadDiskSerialNumbers,
      &TTvxAnalPluginCallbacks::ReadDiskDriveVersions,
      &TTvxAnalPluginCallbacks::CheckManagerInstalled,
      &TTvxAnalPluginCallbacks::CheckScsiDeviceErrors,
      &TTvxAnalPluginCallbacks::CheckEventLog,
      &TTvxAnalPluginCallbacks::CheckBiosDriverVersion,
      &TTvxAnalPluginCallbacks::CheckDataScrubbing,
      &TTvxAnalPluginCallbacks::CheckBadStripes,
      &TTvxAnalPluginCallbacks::CheckReserved,
      // Reads what CheckManagerInstalled found earlier in this pass.
      &TTvxAnalPluginCallbacks::CheckManagerAgent,
  };
  for (const TCheck check : kSequence) (this->*check)(cimNamespace);
}

void TTvxAnalPluginCallbacks::CheckReserved(TNamespacePtr /*cimNamespace*/) {}

}  // namespace NTVXANAL
