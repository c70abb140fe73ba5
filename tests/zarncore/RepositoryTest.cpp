#include <gtest/gtest.h>

#include <functional>
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

const char kInventory[] = R"({
  "operatingSystemType": 36,
  "classes": {
    "Disk": [{"$id": "disk0", "Type": "Hard disk"}, {"Type": "CD-ROM"}],
    "Version": [{"$id": "fw", "Version": "B8A0"}, {"$id": "fw2", "Version": "B9"}],
    "Other": [{"$id": "other", "Name": "x"}],
    "Faulty": [{"Lookup": {"$error": 15}, "Value": {"$error": 40, "on": "value"}}],
    "Names": [{"A": "a0", "B": "b0", "": "e0"}, {"B": "b1", "": "e1", "A": "a1"}],
    "Empty": [],
    "Broken": {"$error": 21},
    "Unlistable": {"$error": 15, "on": "enumerate"}
  },
  "associations": [["disk0", "fw2"], ["other", "disk0"], ["fw", "disk0"]]
})";

TInstances Enumerate(const boost::shared_ptr<ICIMNamespace>& cimNamespace,
                     const std::string& className) {
  TInstances instances;
  cimNamespace->GetClass(className, TCIMContext())
      ->EnumerateInstances(TAddToVectorCallback<ICIMInstance>(instances), true, TCIMContext());
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

class RepositoryTest : public ::testing::Test {
 protected:
  std::unique_ptr<TRepository> m_repository =
      std::make_unique<TRepository>(NZARNCORE::LoadInventoryText(kInventory, "inv.json"));
  boost::shared_ptr<ICIMNamespace> m_namespace = m_repository->OpenNamespace();
};

TEST_F(RepositoryTest, DeliversInstancesInFileOrderAndFindsPropertiesByName) {
  const TInstances disks = Enumerate(m_namespace, "Disk");
  ASSERT_EQ(disks.size(), 2u);
  EXPECT_EQ(Text(*disks[1], "Type"), "CD-ROM");
  EXPECT_TRUE(Enumerate(m_namespace, "Empty").empty());
  std::string texts;
  for (const auto& instance : Enumerate(m_namespace, "Names")) {
    for (const char* name : {"B", "", "A", "B", "X"}) {
      texts += StatusOf([&] { texts += Text(*instance, name); }) == 0 ? " " : "! ";
    }
  }
  EXPECT_EQ(texts, "b0 e0 a0 b0 ! b1 e1 a1 b1 ! ");
}

TEST_F(RepositoryTest, MissingAndFaultyClassesAndPropertiesThrowTheirStatus) {
  EXPECT_EQ(StatusOf([&] { m_namespace->GetClass("Broken", TCIMContext()); }), 21);
  EXPECT_EQ(StatusOf([&] { Enumerate(m_namespace, "Unlistable"); }), 15);
  auto faulty = Enumerate(m_namespace, "Faulty").front();
  EXPECT_EQ(StatusOf([&] { faulty->GetProperty("Lookup", TCIMContext()); }), 15);
  EXPECT_EQ(StatusOf([&] { faulty->GetProperty("Absent", TCIMContext()); }), 15);
  auto property = faulty->GetProperty("Value", TCIMContext());
  EXPECT_EQ(StatusOf([&] { property->GetValue(TCIMContext()); }), 40);
}

TEST_F(RepositoryTest, AssociationsRunBothWaysInFileOrderFilteredByResultClass) {
  auto disk = Enumerate(m_namespace, "Disk").front();
  const TInstances versions = Associated(*disk, "Version");
  ASSERT_EQ(versions.size(), 2u);
  EXPECT_EQ(Text(*versions[0], "Version"), "B9");
  EXPECT_EQ(Text(*versions[1], "Version"), "B8A0");
  EXPECT_EQ(Associated(*disk, "").size(), 3u);
  EXPECT_EQ(Text(*Associated(*versions[1], "Disk").front(), "Type"), "Hard disk");
}

// Every object counts while it lives; objects a plug-in keeps past the
// repository (exit status 5) still work.
TEST_F(RepositoryTest, CountsEveryHandedOutObjectAndOutlivesTheRepository) {
  TInstances disks = Enumerate(m_namespace, "Disk");
  auto property = disks[0]->GetProperty("Type", TCIMContext());
  EXPECT_EQ(m_repository->OutstandingReferences(), 4u);
  disks.clear();
  EXPECT_EQ(m_repository->OutstandingReferences(), 2u);
  m_repository.reset();
  m_namespace.reset();
  EXPECT_EQ(property->GetValue(TCIMContext()).ToString(10), "Hard disk");
}

TEST_F(RepositoryTest, AnswersTheOperatingSystemTypeOnlyForItsOwnNamespaces) {
  EXPECT_EQ(TCIMSchemaHelper::GetOperatingSystemType(m_namespace), 36);
  const auto manager = boost::make_shared<TPluginManagerNamespace>();
  EXPECT_EQ(StatusOf([&] { TCIMSchemaHelper::GetOperatingSystemType(manager); }), 15);
}

// A collector may add the instances of several classes in turn: each is
// still named by its place in its own class.
TEST(Inventory, NamesAnInstanceByItsPlaceInItsClassWhateverTheOrderOfAdding) {
  NZARNCORE::TInventory inventory;
  const std::size_t disk = inventory.AddClass("Disk");
  const std::size_t bus = inventory.AddClass("Bus");
  std::vector<NZARNCORE::TInventory::TInstanceIndex> added;
  for (const std::size_t each : {disk, bus, disk, disk, bus, disk})
    added.push_back(inventory.AddInstance(each));
  std::vector<std::string> labels;
  for (const auto instance : added) labels.push_back(inventory.Label(instance));
  EXPECT_EQ(labels, (std::vector<std::string>{"Disk[0]", "Bus[0]", "Disk[1]", "Disk[2]", "Bus[1]",
                                              "Disk[3]"}));
}

}  // namespace
