#include "zarncore/Assertion.h"

#include <boost/assert.hpp>

namespace NZARNCORE {

TAssertionFailure::TAssertionFailure(const std::string& what) : std::logic_error(what) {}
TAssertionFailure::~TAssertionFailure() = default;

}  // namespace NZARNCORE

namespace boost {

// The host never returns from a failed assertion: the null reference it
// guards must not be used, so the caller gets an exception instead.
ZARN_API void assertion_failed(char const* expr, char const* function, char const* file,
                               long line) {
  throw NZARNCORE::TAssertionFailure(std::string("assertion failed: ") + expr + " in " + function +
                                     " (" + file + ":" + std::to_string(line) + ")");
}

ZARN_API void assertion_failed_msg(char const* expr, char const* msg, char const* function,
                                   char const* file, long line) {
  throw NZARNCORE::TAssertionFailure(std::string("assertion failed: ") + expr + " (" + msg +
                                     ") in " + function + " (" + file + ":" + std::to_string(line) +
                                     ")");
}

}  // namespace boost
