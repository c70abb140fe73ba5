#include "zarn/known/KnownFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <set>
#include <tuple>

#include <boost/json.hpp>

#include "zarncore/Text.h"

namespace NZARN {

namespace {

// A hand-kept list of findings has no business being larger.
constexpr std::size_t kMaxBytes = std::size_t(16) << 20;

const char kKnownKey[] = "known";
const char kFindingKey[] = "finding";
const char kHostKey[] = "host";
const char kReasonKey[] = "reason";
const char kUntilKey[] = "until";

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
  throw TKnownFileError(path + ": " + what);
}

std::string ReadText(const std::string& path) {
  const std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) Fail(path, "cannot read: " + NZARNCORE::ErrorReason(errno));
  std::string text;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) != 0) {
    text.append(buffer, got);
    if (text.size() > kMaxBytes) Fail(path, "larger than 16 MiB; is it a known file?");
  }
  if (std::ferror(file.get())) Fail(path, "cannot read: " + NZARNCORE::ErrorReason(errno));
  return text;
}

// "LINE:COLUMN" of a byte offset; columns count characters from 1.
std::string Place(const std::string& text, std::size_t offset) {
  std::size_t line = 1, column = 1;
  for (std::size_t at = 0; at < offset && at < text.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

boost::json::value Parse(const std::string& text, const std::string& path) {
  boost::json::stream_parser parser;
  boost::system::error_code error;
  std::size_t used = parser.write_some(text.data(), text.size(), error);
  if (!error) parser.finish(error);
  if (error) {
    Fail(path + ":" + Place(text, used), error.message());
  }
  return parser.release();
}

const std::string& Text(const boost::json::object& entry, const char* key, const std::string& place,
                        std::string& kept) {
  const boost::json::value* value = entry.if_contains(key);
  if (!value) throw TKnownFileError(place + "." + key + ": missing");
  if (!value->is_string()) throw TKnownFileError(place + "." + key + ": not a string");
  kept = std::string(value->get_string());
  return kept;
}

TKnownEntry Entry(const boost::json::value& value, const std::string& place) {
  if (!value.is_object()) throw TKnownFileError(place + ": not an object");
  const boost::json::object& object = value.get_object();
  for (const auto& member : object) {
    static const std::set<std::string> kKeys = {kFindingKey, kHostKey, kReasonKey, kUntilKey};
    if (kKeys.count(std::string(member.key())) == 0)
      throw TKnownFileError(place + ": unknown key '" +
                            NZARNCORE::Printable(std::string(member.key())) +
                            "'; an entry has finding, host, reason and until");
  }
  TKnownEntry entry;
  Text(object, kFindingKey, place, entry.finding);
  if (object.contains(kHostKey)) Text(object, kHostKey, place, entry.host.emplace());
  if (Text(object, kReasonKey, place, entry.reason).empty())
    throw TKnownFileError(place + "." + kReasonKey + ": empty; say why the finding is known");
  std::string until;
  const std::optional<TDate> date = ParseDate(Text(object, kUntilKey, place, until));
  if (!date)
    throw TKnownFileError(place + "." + kUntilKey + ": '" + NZARNCORE::Printable(until) +
                          "' is not a date written YYYY-MM-DD");
  entry.until = *date;
  return entry;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool TDate::operator<(const TDate& other) const {
  return std::tie(year, month, day) < std::tie(other.year, other.month, other.day);
}

std::optional<TDate> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int fields[3] = {0, 0, 0};
  const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    for (std::size_t at = starts[i]; at < starts[i] + lengths[i]; ++at) {
      if (text[at] < '0' || text[at] > '9') return std::nullopt;
      fields[i] = fields[i] * 10 + (text[at] - '0');
    }
  }
  const TDate date{fields[0], fields[1], fields[2]};
  if (date.year == 0 || date.month < 1 || date.month > 12) return std::nullopt;
  if (date.day < 1 || date.day > DaysIn(date.year, date.month)) return std::nullopt;
  return date;
}

std::string DateText(const TDate& date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

TDate TodayUtc() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
#if defined(_WIN32)
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  return TDate{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday};
}

TKnownFile ParseKnownFile(const std::string& text, const std::string& path) {
  const boost::json::value document = Parse(text, path);
  const boost::json::object* top = document.if_object();
  const boost::json::value* known = top ? top->if_contains(kKnownKey) : nullptr;
  if (!known || !known->is_array())
    Fail(path, "not a known file: {\"known\": [ENTRY, ...]} expected");
  if (top->size() != 1) Fail(path, "a known file holds only \"known\"");
  TKnownFile file;
  file.path = path;
  const boost::json::array& entries = known->get_array();
  for (std::size_t i = 0; i < entries.size(); ++i)
    file.entries.push_back(Entry(entries[i], path + ": known[" + std::to_string(i) + "]"));
  return file;
}

TKnownFile LoadKnownFile(const std::string& path) { return ParseKnownFile(ReadText(path), path); }

}  // namespace NZARN
