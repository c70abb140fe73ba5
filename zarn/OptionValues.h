#pragma once

#include <cstdint>
#include <set>
#include <string>

#include <boost/optional.hpp>

namespace NZARN {

// "100,101,0" as a set of levels; none when any item is not a 32-bit integer
// or the list is empty.
boost::optional<std::set<std::int32_t>> ParseLevelList(const std::string& text);

// A count of runs, jobs, seconds, records or days: a whole number, 1 or more.
boost::optional<int> ParseCount(const std::string& text);

}  // namespace NZARN
