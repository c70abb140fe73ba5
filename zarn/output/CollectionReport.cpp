#include "zarn/output/CollectionReport.h"

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <string>

#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Displayed;

using NZARNCORE::ECollectionState;
using NZARNCORE::TCollectedClass;

const char* CollectionStatePhrase(ECollectionState state) {
  switch (state) {
    case ECollectionState::Read:
      return "read";
    case ECollectionState::Absent:
      return "absent";
    case ECollectionState::Partial:
      return "read in part";
    case ECollectionState::Unreadable:
      break;
  }
  return "could not be read";
}

namespace {

// "could not be read from SOURCE: REASON".
std::string HowCollected(const TCollectedClass& cls) {
  std::string how =
      CollectionStatePhrase(cls.state) + std::string(" from ") + Displayed(cls.source);
  return cls.reason.empty() ? how : how + ": " + Displayed(cls.reason);
}

}  // namespace

void PrintCollection(std::ostream& out, const NZARNCORE::TInventory& inventory) {
  if (!inventory.Collection()) return;
  const NZARNCORE::TCollectionRecord& record = *inventory.Collection();
  out << "collected by " << Displayed(record.collector) << ' ' << Displayed(record.version);
  if (!record.host.empty()) out << " on " << Displayed(record.host);
  out << " at " << Displayed(record.time) << '\n';
  std::size_t width = 0;
  for (const TCollectedClass& cls : record.classes)
    width = std::max(width, Displayed(cls.name).size());
  for (const TCollectedClass& cls : record.classes) {
    out << "  " << std::left << std::setw(static_cast<int>(width)) << Displayed(cls.name) << "  "
        << HowCollected(cls) << '\n';
  }
}

std::size_t NoteUnreadableClasses(const NZARNCORE::TInventory& inventory,
                                  const std::string& prefix) {
  if (!inventory.Collection()) return 0;
  std::size_t unreadable = 0;
  for (const TCollectedClass& cls : inventory.Collection()->classes) {
    if (NZARNCORE::ReadInFull(cls.state)) continue;
    const char* how =
        cls.state == ECollectionState::Partial ? " was read in part: " : " could not be read: ";
    std::cerr << "zarn: note: " << Displayed(prefix + cls.name) << how << Displayed(cls.reason)
              << '\n';
    ++unreadable;
  }
  return unreadable;
}

}  // namespace NZARN
