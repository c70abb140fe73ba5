// The record of how an inventory was collected: what the loader keeps, and
// what it refuses.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/LoadErrors.h"
#include "zarncore/InventoryLoader.h"

namespace {

using NTESTS::ErrorOf;
using NZARNCORE::ECollectionState;

std::string WithRecord(const std::string& record) {
  return R"({"classes": {}, "collection": )" + record + "}";
}

const std::string kRecord = R"({"collector": "zarn collect", "version": "0.1.0", "time": "T",
  "classes": {"A": {"source": "s", "state": "read"},
              "B": {"source": "t", "state": "absent", "reason": "none here"},
              "C": {"source": "u", "state": "unreadable", "reason": "why"}}})";

TEST(CollectionRecord, KeepsEveryClassInFileOrderFromAStream) {
  std::istringstream in(WithRecord(kRecord));
  const auto inventory = NZARNCORE::LoadInventoryStream(in, "stdin");
  const auto& record = inventory->Collection();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->collector + record->version + record->time, "zarn collect0.1.0T");
  EXPECT_EQ(record->host, "");
  ASSERT_EQ(record->classes.size(), 3u);
  EXPECT_EQ(record->classes[1].name + record->classes[1].source + record->classes[1].reason,
            "Btnone here");
  EXPECT_EQ(record->classes[0].state, ECollectionState::Read);
  EXPECT_EQ(record->classes[1].state, ECollectionState::Absent);
  EXPECT_EQ(record->classes[2].state, ECollectionState::Unreadable);
}

TEST(CollectionRecord, RefusesWhatItDoesNotDefine) {
  const std::string head = R"({"collector": "c", "version": "v", "time": "t", )";
  const struct {
    std::string record;
    std::string message;
  } cases[] = {
      {R"({"version": "v", "time": "t", "classes": {}})", "collection: missing key 'collector'"},
      {head + R"("classes": {}, "host": 1})", "collection.host: expected a string, got an integer"},
      {head + R"("classes": {}, "user": "x"})", "collection: unknown key 'user'"},
      {head + R"("classes": []})",
       "collection.classes: expected an object of classes, got an array"},
      {head + R"("classes": {"A": {"source": "s"}}})", "collection.classes.A: missing key 'state'"},
      {head + R"("classes": {"A": {"source": "s", "state": "gone"}}})",
       "collection.classes.A.state: expected 'read', 'absent' or 'unreadable', got 'gone'"},
      {head + R"("classes": {"A": {"source": "s", "state": "unreadable"}}})",
       "collection.classes.A: missing key 'reason' (an unreadable class says why)"},
      {head + R"("classes": {"A": {"source": "s", "state": "read"}, "A": {}}})",
       "collection.classes: duplicate key 'A'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf(WithRecord(c.record)), "inv.json: " + c.message) << c.record;
  }
}

}  // namespace
