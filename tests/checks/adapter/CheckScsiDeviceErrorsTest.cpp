#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/AnalysisHarness.h"
#include "support/FailingAllocations.h"

namespace {

using namespace NTESTS;

TEST(ScsiDeviceErrorCheck, ADeviceWithoutStorageForItsRecordIsSkippedWithAMessage) {
#if defined(_WIN32)
  GTEST_SKIP() << "a Windows DLL keeps the allocator it was linked with: failing this "
                  "program's allocations never reaches the plug-in";
#endif
  const boost::shared_ptr<NZARNCORE::TInventory> inventory = PatchedServer(
      Patch({Instances("QELSG_txSCSIDeviceData", {R"("ControllerNum": 1, "Channel": 0, "ScsiId": 2,
                                         "NumParityErrors": 0, "NumSoftErrors": 0,
                                         "NumHardErrors": 5, "PFA": "No", "Misc": 0)",
                                                  R"("ControllerNum": 1, "Channel": 0, "ScsiId": 2,
                                         "NumParityErrors": 0, "NumSoftErrors": 0,
                                         "NumHardErrors": 6, "PFA": "No", "Misc": 0)"})}));
  // Loading the plug-in allocates its object: that comes first.
  LoadedAnalysis();
  const TRunResult result = [&] {
    const TFailingAllocations failing(1);
    return Analyze(inventory);
  }();
  EXPECT_EQ(result.lines,
            (std::vector<TLine>{
                {3, "Unabled to allocate space for devErrors"},
                {100, "Tarvex: Controller 1 Channel 0 Scsi ID 2 reported 6 hard errors"}}));
}

}  // namespace
