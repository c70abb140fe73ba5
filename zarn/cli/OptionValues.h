#pragma once

#include <cstdint>
#include <set>
#include <string>

#include <boost/optional.hpp>

namespace CLI {
class App;
}

namespace NZARN {

// What both command lines keep to, where CLI11 would do otherwise; call it
// before adding options. An argument that begins with '/' is a path on every
// system (a rooted one on Windows), never an option; an option of one value
// given twice is a mistake to name (RefuseRepeatedOptions), not a choice.
void KeepConventions(CLI::App& app);

// Throws CLI::ParseError naming an option of app, parsed, that takes one
// value and was given more than once.
void RefuseRepeatedOptions(const CLI::App& app);

// "100,101,0" as a set of levels; none when any item is not a 32-bit integer
// or the list is empty.
boost::optional<std::set<std::int32_t>> ParseLevelList(const std::string& text);

// A count of runs, jobs, seconds, records or days: a whole number, 1 or more.
boost::optional<int> ParseCount(const std::string& text);

}  // namespace NZARN
