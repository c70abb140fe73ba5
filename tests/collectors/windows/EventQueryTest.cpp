// The System event log's query, with and without the bookmark of an
// earlier run: only a time as the log keeps it goes into the query.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "collectors/windows/EventQuery.h"
#include "zarn/ZarnRun.h"

namespace NZARNTEST {
namespace {

using NTESTS::operator<<;

struct TQueryCase {
  std::string name;
  std::optional<std::string> bookmark;
  std::string xpath;
  std::string bounds;
};

const char kThirtyDays[] = "*[System[TimeCreated[timediff(@SystemTime) <= 2592000000]";

class EventQuery : public testing::TestWithParam<TQueryCase> {};

TEST_P(EventQuery, BoundsTheRecords) {
  const NZARNCOLLECT::TEventQuery query = NZARNCOLLECT::SystemEventQuery(30, GetParam().bookmark);
  EXPECT_EQ(query.xpath, GetParam().xpath);
  EXPECT_EQ(query.bounds, GetParam().bounds);
}

INSTANTIATE_TEST_SUITE_P(
    SystemLog, EventQuery,
    testing::Values(
        TQueryCase{"NoBookmark", std::nullopt, std::string(kThirtyDays) + "]]",
                   "the newest records of the last 30 days"},
        TQueryCase{"Bookmark", "2026-11-30T04:12:09.5591234Z",
                   std::string(kThirtyDays) +
                       " and TimeCreated[@SystemTime >= '2026-11-30T04:12:09.5591234Z']]]",
                   "the newest records of the last 30 days from 2026-11-30T04:12:09.5591234Z on"},
        TQueryCase{
            "WholeSeconds", "2026-11-30T04:12:09Z",
            std::string(kThirtyDays) + " and TimeCreated[@SystemTime >= '2026-11-30T04:12:09Z']]]",
            "the newest records of the last 30 days from 2026-11-30T04:12:09Z on"},
        TQueryCase{"QuoteLeftOut", "2026-11-30T04:12:09Z' or '1'='1",
                   std::string(kThirtyDays) + "]]", "the newest records of the last 30 days"},
        TQueryCase{"LocalTimeLeftOut", "2026-11-30 05:12:09", std::string(kThirtyDays) + "]]",
                   "the newest records of the last 30 days"}),
    NTESTS::TCaseName());

}  // namespace
}  // namespace NZARNTEST
