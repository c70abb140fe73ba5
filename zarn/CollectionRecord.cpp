#include "zarn/CollectionRecord.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <string>

#include "zarn/TextEncoding.h"

namespace NZARN {

using NZARNCORE::ECollectionState;
using NZARNCORE::TCollectedClass;

namespace {

// A text of the file as one line of valid UTF-8 that cannot drive the
// terminal: control characters escaped.
std::string Shown(const std::string& text) {
  std::string shown;
  for (const char c : RepairUtf8(text)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(byte));
    shown += escape;
  }
  return shown;
}

const char* StatePhrase(ECollectionState state) {
  switch (state) {
    case ECollectionState::Read:
      return "read";
    case ECollectionState::Absent:
      return "absent";
    case ECollectionState::Unreadable:
      break;
  }
  return "could not be read";
}

// "could not be read from SOURCE: REASON".
std::string HowCollected(const TCollectedClass& cls) {
  std::string how = StatePhrase(cls.state) + std::string(" from ") + Shown(cls.source);
  return cls.reason.empty() ? how : how + ": " + Shown(cls.reason);
}

}  // namespace

void PrintCollection(std::ostream& out, const NZARNCORE::TInventory& inventory) {
  if (!inventory.Collection()) return;
  const NZARNCORE::TCollectionRecord& record = *inventory.Collection();
  out << "collected by " << Shown(record.collector) << ' ' << Shown(record.version);
  if (!record.host.empty()) out << " on " << Shown(record.host);
  out << " at " << Shown(record.time) << '\n';
  std::size_t width = 0;
  for (const TCollectedClass& cls : record.classes) width = std::max(width, Shown(cls.name).size());
  for (const TCollectedClass& cls : record.classes) {
    out << "  " << std::left << std::setw(static_cast<int>(width)) << Shown(cls.name) << "  "
        << HowCollected(cls) << '\n';
  }
}

std::size_t NoteUnreadableClasses(const NZARNCORE::TInventory& inventory) {
  if (!inventory.Collection()) return 0;
  std::size_t unreadable = 0;
  for (const TCollectedClass& cls : inventory.Collection()->classes) {
    if (cls.state != ECollectionState::Unreadable) continue;
    std::cerr << "zarn: note: " << Shown(cls.name) << " could not be read: " << Shown(cls.reason)
              << '\n';
    ++unreadable;
  }
  return unreadable;
}

}  // namespace NZARN
