#pragma once

#include <stdexcept>
#include <string>

#include "host/ZarnApi.h"

namespace NZARNCORE {

// What the host's assertion handler throws: a null host reference was about
// to be used.
class ZARN_API TAssertionFailure : public std::logic_error {
 public:
  explicit TAssertionFailure(const std::string& what);
  ~TAssertionFailure() override;
};

}  // namespace NZARNCORE
