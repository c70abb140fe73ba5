#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include <CLI/CLI.hpp>

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
std::optional<std::set<std::int32_t>> ParseLevelList(const std::string& text);

// A count of runs, jobs, seconds, records or days: a whole number, 1 or more.
std::optional<int> ParseCount(const std::string& text);

// What a count of runs, jobs, seconds, records or days must be, for
// AddParsedOption: "a number of runs (1 to 2147483647)".
std::string CountOf(const std::string& what);

// The text as it was given, for an option that takes any.
inline std::optional<std::string> AnyText(const std::string& text) { return text; }

// Adds an option of one value to app, which parse (the text to an optional)
// reads into target, once: a text it refuses is a usage error, "--runs:
// 'x' is not <expected>". names are CLI11's ("-j,--jobs"); the message
// names the last.
template <class TTarget, class TParse>
CLI::Option* AddParsedOption(CLI::App& app, const std::string& names, TTarget& target, TParse parse,
                             std::string expected, std::string description = "") {
  const std::string name = names.substr(names.rfind(',') + 1);
  const auto read = [&target, parse, name, expected](const CLI::results_t& results) {
    auto value = parse(results.back());
    if (!value) throw CLI::ValidationError(name + ": '" + results.back() + "' is not " + expected);
    target = std::move(*value);
    return true;
  };
  return app.add_option(names, read, std::move(description));
}

}  // namespace NZARN
