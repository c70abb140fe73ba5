#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace NZARN {

// A day of the calendar, as YYYY-MM-DD; later days compare greater.
struct TDate {
  int year = 0;
  int month = 0;
  int day = 0;

  bool operator<(const TDate& other) const;
};

// None unless the text is a day of the calendar written YYYY-MM-DD.
std::optional<TDate> ParseDate(std::string_view text);
std::string DateText(const TDate& date);
// Today in UTC, so that an acknowledgement ends at the same moment on every
// host, whatever its time zone.
TDate TodayUtc();

// One acknowledgement of a known file: a finding (or advice) by its text
// exactly as logged, on one host or on any, with why and until when.
struct TKnownEntry {
  std::string finding;
  std::optional<std::string> host;
  std::string reason;
  TDate until;  // known up to and including this day
};

// {"known": [{"finding": TEXT, "host": HOST, "reason": TEXT,
// "until": "YYYY-MM-DD"}, ...]}, a file a person edits and keeps.
struct TKnownFile {
  std::string path;
  std::vector<TKnownEntry> entries;
};

// Why a known file cannot be used, with its place: "known.json:3:7: ..."
// for its syntax, "known.json: known[2].until: ..." for an entry.
class TKnownFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws TKnownFileError.
TKnownFile LoadKnownFile(const std::string& path);
// The same, of a text that came from path.
TKnownFile ParseKnownFile(const std::string& text, const std::string& path);

}  // namespace NZARN
