#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "host/Zarn.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/Repository.h"

namespace {

using namespace NQELZARN20;
using NZARNCORE::TRepository;

typedef std::vector<boost::shared_ptr<ICIMInstance> > TInstances;

TInstances Enumerate(ICIMClass& cimClass) {
  TInstances instances;
  cimClass.EnumerateInstances(TAddToVectorCallback<ICIMInstance>(instances), true, TCIMContext());
  return instances;
}

TInstances Associated(ICIMInstance& instance, const std::string& resultClass) {
  TInstances instances;
  instance.EnumerateAssociatedInstances(TAddToVectorCallback<ICIMInstance>(instances), "",
                                        resultClass, "", "", TCIMContext());
  return instances;
}

std::string Text(ICIMInstance& instance, const std::string& property) {
  return instance.GetProperty(property, TCIMContext())->GetValue(TCIMContext()).ToString(10);
}

TZARNStatusCode StatusOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const TZARNException& error) {
    return error.GetStatusCode();
  }
  return 0;
}

boost::shared_ptr<NZARNCORE::TInventory> Load(const std::string& text) {
  return NZARNCORE::LoadInventoryText(text, "repository.json");
}

class RepositoryTest : public ::testing::Test {
 protected:
  std::unique_ptr<TRepository> m_repository = std::make_unique<TRepository>(Load(R"({
    "operatingSystemType": 36,
    "classes": {
      "QELSG_txDiskDrive": [{"$id": "disk0", "DeviceType": "Hard disk"}, {"DeviceType": "CD-ROM"}],
      "QELSG_txDiskDriveVersion": [{"$id": "disk0-fw", "Version": "B8A0"},
                                   {"$id": "disk0-fw2", "Version": "B9"}],
      "QELSG_Other": [{"$id": "other", "Name": "x"}],
      "QELSG_Faulty": [{"Lookup": {"$error": 15}, "Value": {"$error": 40, "on": "value"}}],
      "QELSG_Empty": [],
      "QELSG_Broken": {"$error": 21},
      "QELSG_Unlistable": {"$error": 15, "on": "enumerate"}
    },
    "associations": [["disk0", "disk0-fw2"], ["other", "disk0"], ["disk0-fw", "disk0"]]
  })"));
};

TEST_F(RepositoryTest, DeliversInstancesInFileOrder) {
  auto cimNamespace = m_repository->OpenNamespace();
  auto disks = cimNamespace->GetClass("QELSG_txDiskDrive", TCIMContext());
  const TInstances instances = Enumerate(*disks);
  ASSERT_EQ(instances.size(), 2u);
  EXPECT_EQ(Text(*instances[1], "DeviceType"), "CD-ROM");
  EXPECT_TRUE(Enumerate(*cimNamespace->GetClass("QELSG_Empty", TCIMContext())).empty());
}

TEST_F(RepositoryTest, MissingAndFaultyClassesAndPropertiesThrowTheirStatus) {
  auto cimNamespace = m_repository->OpenNamespace();
  EXPECT_EQ(StatusOf([&] { cimNamespace->GetClass("QELSG_Absent", TCIMContext()); }), 15);
  EXPECT_EQ(StatusOf([&] { cimNamespace->GetClass("QELSG_Broken", TCIMContext()); }), 21);
  auto unlistable = cimNamespace->GetClass("QELSG_Unlistable", TCIMContext());
  EXPECT_EQ(StatusOf([&] { Enumerate(*unlistable); }), 15);
  auto faulty = Enumerate(*cimNamespace->GetClass("QELSG_Faulty", TCIMContext())).front();
  EXPECT_EQ(StatusOf([&] { faulty->GetProperty("Lookup", TCIMContext()); }), 15);
  EXPECT_EQ(StatusOf([&] { faulty->GetProperty("Absent", TCIMContext()); }), 15);
  auto property = faulty->GetProperty("Value", TCIMContext());
  EXPECT_EQ(StatusOf([&] { property->GetValue(TCIMContext()); }), 40);
}

TEST_F(RepositoryTest, AssociationsRunBothWaysInFileOrderFilteredByResultClass) {
  auto cimNamespace = m_repository->OpenNamespace();
  auto disk = Enumerate(*cimNamespace->GetClass("QELSG_txDiskDrive", TCIMContext())).front();
  const TInstances versions = Associated(*disk, "QELSG_txDiskDriveVersion");
  ASSERT_EQ(versions.size(), 2u);
  EXPECT_EQ(Text(*versions[0], "Version"), "B9");
  EXPECT_EQ(Text(*versions[1], "Version"), "B8A0");
  EXPECT_EQ(Associated(*disk, "").size(), 3u);
  EXPECT_EQ(Text(*Associated(*versions[1], "QELSG_txDiskDrive").front(), "DeviceType"),
            "Hard disk");
}

TEST_F(RepositoryTest, CountsEveryHandedOutObjectUntilItIsReleased) {
  EXPECT_EQ(m_repository->OutstandingReferences(), 0u);
  {
    auto cimNamespace = m_repository->OpenNamespace();
    auto copy = cimNamespace;
    EXPECT_EQ(m_repository->OutstandingReferences(), 1u);
    auto disks = cimNamespace->GetClass("QELSG_txDiskDrive", TCIMContext());
    TInstances instances = Enumerate(*disks);
    auto property = instances[0]->GetProperty("DeviceType", TCIMContext());
    EXPECT_EQ(m_repository->OutstandingReferences(), 5u);
    instances.clear();
    // The property keeps working after its instance is let go.
    EXPECT_EQ(property->GetValue(TCIMContext()).ToString(10), "Hard disk");
    EXPECT_EQ(m_repository->OutstandingReferences(), 3u);
  }
  EXPECT_EQ(m_repository->OutstandingReferences(), 0u);
}

// A plug-in that keeps objects past the repository (exit status 5) must
// still be able to use and release them.
TEST_F(RepositoryTest, ObjectsKeptPastTheRepositoryStillWork) {
  auto cimNamespace = m_repository->OpenNamespace();
  TInstances disks = Enumerate(*cimNamespace->GetClass("QELSG_txDiskDrive", TCIMContext()));
  auto property = disks[1]->GetProperty("DeviceType", TCIMContext());
  m_repository.reset();
  EXPECT_EQ(Text(*disks[0], "DeviceType"), "Hard disk");
  EXPECT_EQ(property->GetValue(TCIMContext()).ToString(10), "CD-ROM");
  disks.clear();
  cimNamespace.reset();
  EXPECT_EQ(property->GetValue(TCIMContext()).ToString(10), "CD-ROM");
}

// Names asked over and over, as checks do, and a name that is empty.
TEST(Repository, FindsEachPropertyWhateverTheOrderOfTheNames) {
  TRepository repository(Load(R"({"classes": {"C": [{"A": "a0", "B": "b0", "": "e0"},
    {"A": "a1", "B": "b1", "": "e1"}, {"A": "a2", "B": "b2", "": "e2"}]}})"));
  const TInstances instances = Enumerate(*repository.OpenNamespace()->GetClass("C", TCIMContext()));
  std::string texts;
  for (const auto& instance : instances) {
    for (const char* name : {"B", "", "A", "B", "X"}) {
      texts += StatusOf([&] { texts += Text(*instance, name); }) == 0 ? " " : "! ";
    }
  }
  EXPECT_EQ(texts, "b0 e0 a0 b0 ! b1 e1 a1 b1 ! b2 e2 a2 b2 ! ");
}

TEST_F(RepositoryTest, AnswersTheOperatingSystemTypeOnlyForItsOwnNamespaces) {
  EXPECT_EQ(TCIMSchemaHelper::GetOperatingSystemType(m_repository->OpenNamespace()), 36);
  const auto manager = boost::make_shared<TPluginManagerNamespace>();
  EXPECT_EQ(StatusOf([&] { TCIMSchemaHelper::GetOperatingSystemType(manager); }), 15);
}

TEST(Repository, OperatingSystemTypeAbsentOrFaulty) {
  TRepository absent(Load(R"({"classes": {}})"));
  EXPECT_EQ(StatusOf([&] { TCIMSchemaHelper::GetOperatingSystemType(absent.OpenNamespace()); }),
            15);
  TRepository faulty(Load(R"({"operatingSystemType": {"$error": 9}, "classes": {}})"));
  EXPECT_EQ(StatusOf([&] { TCIMSchemaHelper::GetOperatingSystemType(faulty.OpenNamespace()); }), 9);
}

TEST(Repository, ClassListClassesNeedNotBeInventoryClasses) {
  TRepository repository(Load(R"({"classes": {}})"));
  auto cimClass = repository.MakeClass("QELSG_TVXHeavyHittersAnalysis");
  EXPECT_EQ(cimClass->GetName(TCIMContext()), "QELSG_TVXHeavyHittersAnalysis");
  EXPECT_TRUE(Enumerate(*cimClass).empty());
}

TEST(HostRoot, AssertionHandlerThrowsInsteadOfLettingANullBeUsed) {
  boost::shared_ptr<ICIMNamespace> none;
  EXPECT_THROW(none->GetClass("x", TCIMContext()), std::logic_error);
}

}  // namespace
