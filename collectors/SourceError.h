#pragma once

#include <stdexcept>

namespace NZARNCOLLECT {

// Why one source of a class could not be read, in words for the collection
// record: "no permission to read /var/lib/dpkg/status", "program missing:
// rpm is not on PATH". The class is then recorded as unreadable; the
// collection goes on.
class TSourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace NZARNCOLLECT
