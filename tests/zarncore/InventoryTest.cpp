#include "zarncore/Inventory.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using NQELZARN20::ECIMType;
using NQELZARN20::TCIMValue;
using NZARNCORE::EPropertyFault;
using NZARNCORE::TInventory;

std::string Text(const TInventory& inventory, TInventory::TInstanceIndex instance,
                 const std::string& name) {
  const boost::optional<TInventory::TNameId> id = inventory.FindName(name);
  if (!id) return "(no such name)";
  const boost::optional<TInventory::TPropertyRef> property = inventory.FindProperty(instance, *id);
  return property ? property->Value().ToString(10) : "(absent)";
}

// Every type keeps its value and its null through the stored form.
TEST(Inventory, StoresEveryTypeAsItWasGiven) {
  const std::vector<TCIMValue> values = {
      TCIMValue::Boolean(true),
      TCIMValue::Unsigned(NQELZARN20::eCIMTypeUInt64, std::numeric_limits<std::uint64_t>::max()),
      TCIMValue::Signed(NQELZARN20::eCIMTypeSInt64, std::numeric_limits<std::int64_t>::min()),
      TCIMValue::Signed(NQELZARN20::eCIMTypeSInt8, -1),
      TCIMValue::Real(NQELZARN20::eCIMTypeReal32, 0.1),
      TCIMValue::Real(NQELZARN20::eCIMTypeReal64, -2.5e-300),
      TCIMValue::Text(NQELZARN20::eCIMTypeChar16, "\xE2\x82\xAC"),
      TCIMValue::Text(NQELZARN20::eCIMTypeDateTime, "20261206083000.000000+060"),
      TCIMValue(std::string("zelk\0"
                            "412.sys",
                            12)),
      TCIMValue(std::string(300, 'm')),
      TCIMValue(""),
      TCIMValue::Null(NQELZARN20::eCIMTypeUInt16),
      TCIMValue()};
  TInventory inventory;
  const TInventory::TInstanceIndex instance = inventory.AddInstance(inventory.AddClass("C"), "");
  for (std::size_t i = 0; i < values.size(); ++i) {
    inventory.AddProperty(instance, "P" + std::to_string(i), values[i]);
  }
  const std::vector<TInventory::TProperty> stored = inventory.Properties(instance);
  ASSERT_EQ(stored.size(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(stored[i].name, "P" + std::to_string(i));
    EXPECT_EQ(stored[i].value.GetType(), values[i].GetType()) << i;
    EXPECT_EQ(stored[i].value.IsNull(), values[i].IsNull()) << i;
    EXPECT_EQ(stored[i].value.ToString(10), values[i].ToString(10)) << i;
  }
}

// Properties may be added to an earlier instance after later ones were
// started, and faults are counted per class.
TEST(Inventory, AddsToAnyInstanceInAnyOrder) {
  TInventory inventory;
  const std::size_t disks = inventory.AddClass("Disk");
  const std::size_t versions = inventory.AddClass("Version");
  const TInventory::TInstanceIndex first = inventory.AddInstance(disks, "disk0");
  inventory.AddProperty(first, "Type", "Hard disk");
  const TInventory::TInstanceIndex version = inventory.AddInstance(versions, "");
  const TInventory::TInstanceIndex second = inventory.AddInstance(disks, "");
  inventory.AddProperty(version, "Version", "B8A0");
  inventory.AddProperty(first, "Code", "QEL-RND 36G");
  inventory.AddPropertyFault(second, "Type", EPropertyFault::Value, 7);
  inventory.SetInstanceId(second, "disk1");

  EXPECT_EQ(Text(inventory, first, "Type"), "Hard disk");
  EXPECT_EQ(Text(inventory, first, "Code"), "QEL-RND 36G");
  EXPECT_EQ(Text(inventory, version, "Code"), "(absent)");
  EXPECT_EQ(Text(inventory, first, "Serial"), "(no such name)");
  EXPECT_EQ(inventory.FindProperty(second, *inventory.FindName("Type"))->FaultStatus(), 7);
  EXPECT_EQ(inventory.Class(disks).propertyFaults, 1u);
  EXPECT_EQ(inventory.Class(versions).propertyFaults, 0u);
  EXPECT_EQ(inventory.IndexInClass(second), 1u);
  EXPECT_EQ(inventory.Label(version), "Version[0]");
  EXPECT_EQ(inventory.Label(second), "disk1");
  EXPECT_EQ(*inventory.FindInstanceById("disk1"), second);
}

// Enough instances to fill many arena blocks and array segments.
TEST(Inventory, KeepsManyInstancesApartAndInOrder) {
  TInventory inventory;
  const std::size_t odd = inventory.AddClass("Odd");
  const std::size_t even = inventory.AddClass("Even");
  const std::size_t count = 200000;
  for (std::size_t i = 0; i < count; ++i) {
    const TInventory::TInstanceIndex instance = inventory.AddInstance(i % 2 ? odd : even, "");
    inventory.AddProperty(instance, "Number", std::to_string(i) + std::string(i % 50, '.'));
  }
  ASSERT_EQ(inventory.Class(odd).instances.size(), count / 2);
  for (const std::size_t i : {std::size_t(0), std::size_t(1), std::size_t(4097), count - 1}) {
    EXPECT_EQ(Text(inventory, i, "Number"), std::to_string(i) + std::string(i % 50, '.'));
    EXPECT_EQ(inventory.IndexInClass(i), i / 2);
    EXPECT_EQ(inventory.Class(i % 2 ? odd : even).instances[i / 2], i);
  }
}

}  // namespace
