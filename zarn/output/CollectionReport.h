#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "zarncore/Inventory.h"

namespace NZARN {

// How a class was come by, in words: "read", "absent", "could not be read",
// "read in part".
const char* CollectionStatePhrase(NZARNCORE::ECollectionState state);

// For validate: who collected the inventory, and how each class was come
// by; nothing for an inventory without the record.
void PrintCollection(std::ostream& out, const NZARNCORE::TInventory& inventory);

// For analyze: a note on stderr for each class the collector could not
// read, or read only in part, whose emptiness says nothing, after prefix;
// gives how many.
std::size_t NoteUnreadableClasses(const NZARNCORE::TInventory& inventory,
                                  const std::string& prefix = std::string());

}  // namespace NZARN
