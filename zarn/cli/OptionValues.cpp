#include "zarn/cli/OptionValues.h"

#include <charconv>
#include <sstream>

#include <CLI/CLI.hpp>

namespace NZARN {

namespace {

template <class T>
boost::optional<T> ParseWhole(const std::string& text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return boost::none;
  return value;
}

}  // namespace

boost::optional<std::set<std::int32_t>> ParseLevelList(const std::string& text) {
  std::set<std::int32_t> levels;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const boost::optional<std::int32_t> level = ParseWhole<std::int32_t>(item);
    if (!level) return boost::none;
    levels.insert(*level);
  }
  if (levels.empty() || text.back() == ',') return boost::none;
  return levels;
}

boost::optional<int> ParseCount(const std::string& text) {
  const boost::optional<int> runs = ParseWhole<int>(text);
  if (!runs || *runs < 1) return boost::none;
  return runs;
}

void KeepConventions(CLI::App& app) {
  app.allow_windows_style_options(false);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void RefuseRepeatedOptions(const CLI::App& app) {
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_items_expected_max() != 1 || option->count() < 2) continue;
    throw CLI::ArgumentMismatch(option->get_name() + ": given " + std::to_string(option->count()) +
                                " times, allowed once");
  }
}

}  // namespace NZARN
