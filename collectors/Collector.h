#pragma once

#include <stdexcept>
#include <string>

#include <boost/optional.hpp>

#include "collectors/InventoryDocument.h"

namespace NZARNCOLLECT {

// Why a collection cannot start at all, such as a --root that is no folder;
// nothing is written.
class TCollectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Collects this machine, or the machine image under root, with the
// collector of the system zarn runs on. Reads only; a source it may not
// read makes its class unreadable, never a failure.
TCollectedInventory CollectMachine(const boost::optional<std::string>& root);

}  // namespace NZARNCOLLECT
