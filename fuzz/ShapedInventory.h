#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zarncore/Inventory.h"

namespace NFUZZ {

// One analysis the fuzzer asks for: the inventory, the class list given to
// RunAnalysis and how many times it is called over the same repository.
struct TShapedAnalysis {
  boost::shared_ptr<NZARNCORE::TInventory> inventory;
  std::vector<std::string> classes;
  int runs = 1;
};

// Shapes bytes into an inventory file, loaded as zarn loads one, over every
// class and property the checks
// read: classes absent, failing on lookup or enumeration, or listing a few
// instances whose properties are absent, failing on lookup or on their
// value, null, or of any type with texts and numbers chosen to sit on the
// checks' edges; associations between them; an operating-system type or a
// fault in its place.
TShapedAnalysis ShapeAnalysis(const std::uint8_t* data, std::size_t size);

}  // namespace NFUZZ
