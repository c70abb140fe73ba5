#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "host/Zarn.h"
#include "zarncore/HostCall.h"
#include "zarncore/Inventory.h"

namespace NTESTS {

// One line the plug-in wrote to the core logger.
struct TLine {
  std::int32_t level;
  std::string text;
  bool operator==(const TLine& other) const { return level == other.level && text == other.text; }
};
std::ostream& operator<<(std::ostream& out, const TLine& line);

const char* const kAnalysisClass = NQELZARN20::kHeavyHittersAnalysisClass;
// In a class list, stands for a null class reference.
const char kNullClass[] = "";

// What one RunAnalysis left behind.
struct TRunResult {
  std::vector<TLine> lines;
  std::vector<NZARNCORE::THostCall> calls;
  // What left RunAnalysis: "TZARNException N", another exception's what(),
  // or nothing.
  std::string exception;
};

// A server on which the analysis finds nothing (every class the checks read,
// the management software installed, operating-system type 18), changed by
// a patch: a JSON object whose "operatingSystemType" and "associations"
// replace the server's, and whose other keys replace the classes of those
// names; null removes the class or the key.
boost::shared_ptr<NZARNCORE::TInventory> PatchedServer(const std::string& patch);

// A patch made of these members: Patch({Instances(...), R"("operatingSystemType": 36)"}).
std::string Patch(const std::vector<std::string>& members);

// The member of a patch that makes these the class's instances, each given
// by its members in JSON: Instances("QELSG_PCIDevice", {R"("VendorID": null)"}).
std::string Instances(const std::string& className, const std::vector<std::string>& instances);

// Runs the analysis once, in this process, over the patched server, with
// the built plug-in loaded once per process as the host loads it; fails the
// test when the plug-in still holds host references afterwards.
TRunResult Analyze(const std::string& patch,
                   const std::vector<std::string>& classes = {kAnalysisClass});
TRunResult Analyze(const boost::shared_ptr<NZARNCORE::TInventory>& inventory,
                   const std::vector<std::string>& classes = {kAnalysisClass});

// The loaded plug-in's analysis entry, for tests that call it with host
// objects of their own.
NQELZARN20::IPluginBasicQueryCallbacks& LoadedAnalysis();

}  // namespace NTESTS
