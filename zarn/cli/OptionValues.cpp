#include "zarn/cli/OptionValues.h"

#include <charconv>
#include <limits>
#include <sstream>

namespace NZARN {

namespace {

template <class T>
std::optional<T> ParseWhole(const std::string& text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::set<std::int32_t>> ParseLevelList(const std::string& text) {
  std::set<std::int32_t> levels;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const std::optional<std::int32_t> level = ParseWhole<std::int32_t>(item);
    if (!level) return std::nullopt;
    levels.insert(*level);
  }
  if (levels.empty() || text.back() == ',') return std::nullopt;
  return levels;
}

std::optional<int> ParseCount(const std::string& text) {
  const std::optional<int> count = ParseWhole<int>(text);
  if (!count || *count < 1) return std::nullopt;
  return count;
}

std::string CountOf(const std::string& what) {
  return "a number of " + what + " (1 to " + std::to_string(std::numeric_limits<int>::max()) + ")";
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
