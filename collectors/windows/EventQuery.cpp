#include "collectors/windows/EventQuery.h"

#include <cstdint>
#include <regex>

namespace NZARNCOLLECT {

namespace {

constexpr std::uint64_t kMillisecondsADay = 24 * 60 * 60 * 1000;

// The bookmark goes into the query as it stands, so it may hold nothing
// but a time.
bool IsLogTime(const std::string& text) {
  static const std::regex time(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d{1,9})?Z)");
  return std::regex_match(text, time);
}

}  // namespace

TEventQuery SystemEventQuery(unsigned maxDays, const std::optional<std::string>& bookmark) {
  TEventQuery query{"*[System[TimeCreated[timediff(@SystemTime) <= " +
                        std::to_string(maxDays * kMillisecondsADay) + "]",
                    "the newest records of the last " + std::to_string(maxDays) + " days"};
  if (bookmark && IsLogTime(*bookmark)) {
    query.xpath += " and TimeCreated[@SystemTime >= '" + *bookmark + "']";
    query.bounds += " from " + *bookmark + " on";
  }
  query.xpath += "]]";
  return query;
}

}  // namespace NZARNCOLLECT
