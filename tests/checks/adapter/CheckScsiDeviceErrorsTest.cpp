#include <algorithm>
#include <array>
#include <iterator>

#include <gtest/gtest.h>

#include "support/CaseName.h"

#include "checks/adapter/AdapterInventory.h"
#include "support/AnalysisHarness.h"
#include "support/FailingAllocations.h"

namespace {

using namespace NTESTS;

const char kController[] = "QELSG_txSCSIProtocolController";
const char kDisk[] = "QELSG_txDiskDrive";
const char kDevice[] = "QELSG_txSCSIDeviceData";

const char kSoftNote[] =
    ":  This adapter is currently part of a shared storage configuration.  These events are "
    "normal.";
const char kMiscNote[] =
    ":  This adapter is currently part of a shared storage configuration. These events are "
    "normal.";

const char* const kDeviceProperties[] = {
    "ControllerNum", "Channel",       "ScsiId", "NumParityErrors",
    "NumSoftErrors", "NumHardErrors", "PFA",    "Misc"};
const char kParity[] = "NumParityErrors";
const char kSoft[] = "NumSoftErrors";
const char kHard[] = "NumHardErrors";
const char kPfa[] = "PFA";
const char kMisc[] = "Misc";

std::string Device(int controller, int channel, int scsiId) {
  return "Tarvex: Controller " + std::to_string(controller) + " Channel " +
         std::to_string(channel) + " Scsi ID " + std::to_string(scsiId);
}

TLine Pfa(const std::string& device) { return TLine{100, device + " reported a PFA error"}; }

TLine Count(const std::string& device, const std::string& count, const std::string& what,
            const std::string& note = std::string()) {
  return TLine{100, device + " reported " + count + " " + what + " errors" + note};
}

void AddController(TInventoryBuilder& inventory, std::uint32_t number, const TCIMValue& cluster,
                   const std::string& id = std::string()) {
  inventory.Add(kController,
                {{"ControllerType", "Tarvex-4c"},
                 {"ControllerNum", UInt32(number)},
                 {"PartOfCluster", cluster},
                 {"DeviceDriverVersion", Null()},
                 {"DataScrubbing", "Enabled"}},
                id);
}

// A disk of no known type: the disk checks, which run first, read only its
// type.
void AddDisk(TInventoryBuilder& inventory, const TCIMValue& controller, const TCIMValue& channel,
             const TCIMValue& scsiId, const std::string& id = std::string()) {
  inventory.Add(kDisk,
                {{"DeviceType", Null()},
                 {"ControllerNum", controller},
                 {"Channel", channel},
                 {"ScsiId", scsiId}},
                id);
}

// One device's values, in the order the check reads them; by default the
// device sits on the shared disk and is healthy.
struct TDevice {
  TDevice& Set(const std::string& property, const TCIMValue& value) {
    values.at(std::find(std::begin(kDeviceProperties), std::end(kDeviceProperties), property) -
              std::begin(kDeviceProperties)) = value;
    return *this;
  }
  TDevice& At(std::uint32_t controller, std::uint32_t channel, std::uint32_t scsiId) {
    return Set("ControllerNum", UInt32(controller))
        .Set("Channel", UInt32(channel))
        .Set("ScsiId", UInt32(scsiId));
  }
  TDevice& AllFive() {
    return Set(kPfa, "Yes")
        .Set(kParity, UInt32(1))
        .Set(kSoft, UInt32(2))
        .Set(kHard, UInt32(3))
        .Set(kMisc, UInt32(4));
  }

  std::array<TCIMValue, 8> values{
      {UInt32(1), UInt32(0), UInt32(2), UInt32(0), UInt32(0), UInt32(0), "No", UInt32(0)}};
};

void AddDevice(TInventoryBuilder& inventory, const TDevice& device,
               const std::string& id = std::string()) {
  const std::array<TCIMValue, 8>& v = device.values;
  inventory.Add(kDevice,
                {{kDeviceProperties[0], v[0]},
                 {kDeviceProperties[1], v[1]},
                 {kDeviceProperties[2], v[2]},
                 {kDeviceProperties[3], v[3]},
                 {kDeviceProperties[4], v[4]},
                 {kDeviceProperties[5], v[5]},
                 {kDeviceProperties[6], v[6]},
                 {kDeviceProperties[7], v[7]}},
                id);
}

// Controller 1 is clustered and has a disk at channel 0, SCSI ID 2;
// controller 2 is not clustered and has a disk at the same place.
TInventoryBuilder SharedStorage() {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, 1, "Yes");
  AddController(inventory, 2, "No");
  AddDisk(inventory, UInt32(1), UInt32(0), UInt32(2));
  AddDisk(inventory, UInt32(2), UInt32(0), UInt32(2));
  return inventory;
}

std::vector<std::string> FirstReads(const TRunResult& result, const std::string& id) {
  const std::vector<std::string> read = PropertiesRead(result, id);
  return std::vector<std::string>(read.begin(),
                                  read.begin() + std::min<std::size_t>(2, read.size()));
}

struct TDeviceCase {
  const char* name;
  TDevice device;
  std::vector<TLine> lines;
  friend std::ostream& operator<<(std::ostream& out, const TDeviceCase& c) { return out << c.name; }
};

class ScsiDeviceErrors : public ::testing::TestWithParam<TDeviceCase> {};

TEST_P(ScsiDeviceErrors, ReportsEachCounterAndThePfaFlag) {
  TInventoryBuilder inventory = SharedStorage();
  AddDevice(inventory, GetParam().device);
  EXPECT_EQ(Analyse(inventory).lines, GetParam().lines);
}

const std::string kShared = Device(1, 0, 2);

INSTANTIATE_TEST_SUITE_P(
    Cases, ScsiDeviceErrors,
    ::testing::Values(
        TDeviceCase{"Healthy", TDevice(), {}},
        TDeviceCase{"SoftErrorsOnSharedStorage",
                    TDevice().Set(kSoft, UInt32(3)),
                    {Count(kShared, "3", "soft", kSoftNote)}},
        TDeviceCase{"HardErrorsCarryNoNote",
                    TDevice().Set(kSoft, UInt32(3)).Set(kHard, UInt32(4)),
                    {Count(kShared, "3", "soft", kSoftNote), Count(kShared, "4", "hard")}},
        TDeviceCase{
            "AllFiveOnSharedStorage",
            TDevice().AllFive(),
            {Pfa(kShared), Count(kShared, "1", "parity"), Count(kShared, "2", "soft", kSoftNote),
             Count(kShared, "3", "hard"), Count(kShared, "4", "misc", kMiscNote)}},
        TDeviceCase{"AllFiveOnAnotherChannel",
                    TDevice().At(1, 1, 2).AllFive(),
                    {Pfa(Device(1, 1, 2)), Count(Device(1, 1, 2), "1", "parity"),
                     Count(Device(1, 1, 2), "2", "soft"), Count(Device(1, 1, 2), "3", "hard"),
                     Count(Device(1, 1, 2), "4", "misc")}},
        TDeviceCase{"AnotherScsiIdIsNotShared",
                    TDevice().At(1, 0, 3).Set(kMisc, UInt32(7)),
                    {Count(Device(1, 0, 3), "7", "misc")}},
        TDeviceCase{"TheSamePlaceOnAnUnclusteredController",
                    TDevice().At(2, 0, 2).Set(kMisc, UInt32(7)),
                    {Count(Device(2, 0, 2), "7", "misc")}},
        TDeviceCase{"PfaOnly", TDevice().Set(kPfa, "Yes"), {Pfa(kShared)}},
        TDeviceCase{"PfaLowerCase", TDevice().Set(kPfa, "yes"), {}},
        TDeviceCase{"PfaCapitals", TDevice().Set(kPfa, "YES"), {}},
        TDeviceCase{"PfaTrailingBlank", TDevice().Set(kPfa, "Yes "), {}},
        TDeviceCase{"PfaLongerText", TDevice().Set(kPfa, "Yes, twice"), {}},
        TDeviceCase{"PfaZeroAfterYes", TDevice().Set(kPfa, std::string("Yes\0", 4)), {}},
        TDeviceCase{"PfaShortText", TDevice().Set(kPfa, "Ye"), {}},
        TDeviceCase{"NegativeCount", TDevice().Set(kSoft, SInt32(-1)), {}},
        TDeviceCase{
            "DigitsThenLetters", TDevice().Set(kHard, "12abc"), {Count(kShared, "12", "hard")}},
        TDeviceCase{"NoLeadingDigits", TDevice().Set(kHard, "abc12"), {}},
        TDeviceCase{"NumbersBeyondTheSignedRange",
                    TDevice()
                        .Set("ControllerNum", "-99999999999")
                        .Set("Channel", "99999999999")
                        .Set(kParity, "4294967297"),
                    {Count("Tarvex: Controller -2147483648 Channel 2147483647 Scsi ID 2",
                           "2147483647", "parity")}}),
    NTESTS::TCaseName());

class ScsiDeviceNullValue : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ScsiDeviceNullValue, DropsTheWholeDeviceAndStopsItsReads) {
  TInventoryBuilder inventory = SharedStorage();
  AddDevice(inventory, TDevice().AllFive().Set(kDeviceProperties[GetParam()], Null()), "dev0");
  AddDevice(inventory, TDevice().At(1, 0, 3).Set(kHard, UInt32(1)));
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(result.lines, std::vector<TLine>{Count(Device(1, 0, 3), "1", "hard")});
  EXPECT_EQ(PropertiesRead(result, "dev0"),
            std::vector<std::string>(kDeviceProperties, kDeviceProperties + GetParam() + 1));
}

INSTANTIATE_TEST_SUITE_P(EachProperty, ScsiDeviceNullValue, ::testing::Range<std::size_t>(0, 8),
                         [](const ::testing::TestParamInfo<std::size_t>& tested) {
                           return std::string(kDeviceProperties[tested.param]);
                         });

struct TClusterCase {
  const char* name;
  TCIMValue partOfCluster;
  bool shared;
  friend std::ostream& operator<<(std::ostream& out, const TClusterCase& c) {
    return out << c.name;
  }
};

class ScsiDeviceCluster : public ::testing::TestWithParam<TClusterCase> {};

TEST_P(ScsiDeviceCluster, AControllerIsClusteredWhenItsTextHoldsYes) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, 1, GetParam().partOfCluster);
  AddDisk(inventory, UInt32(1), UInt32(0), UInt32(2));
  AddDevice(inventory, TDevice().Set(kSoft, UInt32(3)));
  EXPECT_EQ(Analyse(inventory).lines,
            std::vector<TLine>{Count(kShared, "3", "soft", GetParam().shared ? kSoftNote : "")});
}

INSTANTIATE_TEST_SUITE_P(Cases, ScsiDeviceCluster,
                         ::testing::Values(TClusterCase{"Yes", "Yes", true},
                                           TClusterCase{"YesActive", "Yes (active)", true},
                                           TClusterCase{"LowerCase", "yes", false},
                                           TClusterCase{"No", "No", false},
                                           TClusterCase{"Null", Null(), false}),
                         NTESTS::TCaseName());

// A clustered controller without a number, and a disk behind a clustered
// controller without a SCSI ID, share nothing: not with controller 0, nor
// with SCSI ID 0.
TEST(ScsiDeviceErrorCheck, ClusterPartsWithoutAWholeAddressShareNothing) {
  TInventoryBuilder inventory = QuietServer();
  inventory.Add(kController, {{"ControllerType", "Tarvex-4c"},
                              {"ControllerNum", Null()},
                              {"PartOfCluster", "Yes"},
                              {"DeviceDriverVersion", Null()},
                              {"DataScrubbing", "Enabled"}});
  AddController(inventory, 1, "Yes");
  AddDisk(inventory, UInt32(0), UInt32(0), UInt32(0));
  AddDisk(inventory, UInt32(1), UInt32(0), Null());
  AddDevice(inventory, TDevice().At(0, 0, 0).Set(kSoft, UInt32(3)));
  AddDevice(inventory, TDevice().At(1, 0, 0).Set(kSoft, UInt32(4)));
  EXPECT_EQ(Analyse(inventory).lines, (std::vector<TLine>{Count(Device(0, 0, 0), "3", "soft"),
                                                          Count(Device(1, 0, 0), "4", "soft")}));
}

TEST(ScsiDeviceErrorCheck, WalksTheDisksOncePerClusteredControllerTheLastFirst) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, 1, "Yes", "c0");
  AddController(inventory, 2, "No", "c1");
  AddController(inventory, 3, "Yes", "c2");
  AddDisk(inventory, UInt32(1), UInt32(0), UInt32(2), "d0");
  AddDisk(inventory, UInt32(3), Null(), UInt32(2), "d1");
  AddDisk(inventory, Null(), UInt32(0), UInt32(2), "d2");
  const TRunResult result = Analyse(inventory);
  // Only the clustered controllers give their numbers; the version check
  // reads the controllers next.
  EXPECT_EQ(FirstReads(result, "c0"), (std::vector<std::string>{"PartOfCluster", "ControllerNum"}));
  EXPECT_EQ(FirstReads(result, "c1"),
            (std::vector<std::string>{"PartOfCluster", "ControllerType"}));
  // After the three disk checks' reads of the type, controller 3 first: d0
  // belongs to controller 1, d1 has no channel.
  EXPECT_EQ(PropertiesRead(result, "d0"),
            (std::vector<std::string>{"DeviceType", "DeviceType", "DeviceType", "ControllerNum",
                                      "ControllerNum", "Channel", "ScsiId"}));
  EXPECT_EQ(PropertiesRead(result, "d1"),
            (std::vector<std::string>{"DeviceType", "DeviceType", "DeviceType", "ControllerNum",
                                      "Channel", "ControllerNum"}));
  EXPECT_EQ(PropertiesRead(result, "d2"),
            (std::vector<std::string>{"DeviceType", "DeviceType", "DeviceType", "ControllerNum",
                                      "ControllerNum"}));
}

TEST(ScsiDeviceErrorCheck, AControllerNumberTwiceInTheClusterStillGivesOneNote) {
  TInventoryBuilder inventory = QuietServer();
  AddController(inventory, 1, "Yes");
  AddController(inventory, 1, "Yes (passive)");
  AddDisk(inventory, UInt32(1), UInt32(0), UInt32(2), "d0");
  AddDevice(inventory, TDevice().Set(kMisc, UInt32(5)));
  const TRunResult result = Analyse(inventory);
  EXPECT_EQ(result.lines, std::vector<TLine>{Count(kShared, "5", "misc", kMiscNote)});
  // The three disk checks' reads of the type, then two walks of three reads.
  EXPECT_EQ(PropertiesRead(result, "d0").size(), 9u);
}

TEST(ScsiDeviceErrorCheck, DevicesAreReportedInDeliveryOrder) {
  TInventoryBuilder inventory = SharedStorage();
  AddDevice(inventory, TDevice().At(2, 0, 2).Set(kParity, UInt32(8)));
  AddDevice(inventory, TDevice().Set(kPfa, "Yes"));
  EXPECT_EQ(Analyse(inventory).lines,
            (std::vector<TLine>{Count(Device(2, 0, 2), "8", "parity"), Pfa(kShared)}));
}

TEST(ScsiDeviceErrorCheck, ADeviceWithoutStorageForItsRecordIsSkippedWithAMessage) {
#if defined(_WIN32)
  GTEST_SKIP() << "a Windows DLL keeps the allocator it was linked with: failing this "
                  "program's allocations never reaches the plug-in";
#endif
  TInventoryBuilder inventory = SharedStorage();
  AddDevice(inventory, TDevice().AllFive(), "dev0");
  AddDevice(inventory, TDevice().Set(kHard, UInt32(6)), "dev1");
  // The plug-in allocates its own object when it is loaded.
  TAnalysisHarness::Instance();
  const TRunResult result = [&] {
    const TFailingAllocations failing(1);
    return Analyse(inventory);
  }();
  EXPECT_EQ(result.lines, (std::vector<TLine>{{3, "Unabled to allocate space for devErrors"},
                                              Count(kShared, "6", "hard")}));
  EXPECT_TRUE(PropertiesRead(result, "dev0").empty());
}

TEST(ScsiDeviceErrorCheck, AMissingPropertyEndsThePassAtTheDispatcher) {
  TInventoryBuilder inventory = SharedStorage();
  AddDevice(inventory, TDevice().Set(kSoft, UInt32(1)));
  inventory.Add(kDevice, {{"ControllerNum", UInt32(1)}, {"Channel", UInt32(0)}});
  AddDevice(inventory, TDevice().Set(kSoft, UInt32(2)));
  EXPECT_EQ(Analyse(inventory).lines,
            (std::vector<TLine>{Count(kShared, "1", "soft", kSoftNote),
                                {0, "Tvxanal: Error getting class or property"}}));
}

}  // namespace
