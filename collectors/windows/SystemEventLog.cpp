#include <windows.h>
#include <winevt.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "collectors/SourceError.h"
#include "collectors/windows/EventQuery.h"
#include "collectors/windows/RenderedEvent.h"
#include "collectors/windows/WindowsSources.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

const char* const kClass = NZARNCORE::NSchema::TEventLogRecord::kClass;
const char kSource[] = "the System event log";
const wchar_t kChannel[] = L"System";
const char kNoPermission[] = "no permission to read the System event log";
const char kFailed[] = "the System event log could not be read: ";
const char kNoReason[] = "the System event log could not be read, and the system gave no reason";

// Rendering a record's message takes the most time; a few thousand records
// take seconds.
constexpr std::chrono::seconds kLogLimit{60};
constexpr DWORD kBatch = 64;

struct THandleClose {
  void operator()(EVT_HANDLE handle) const { EvtClose(handle); }
};
using THandle = std::unique_ptr<std::remove_pointer_t<EVT_HANDLE>, THandleClose>;

[[noreturn]] void Fail(DWORD error) {
  if (error == ERROR_ACCESS_DENIED) throw TSourceError(kNoPermission);
  if (error == ERROR_SUCCESS) throw TSourceError(kNoReason);
  throw TSourceError(kFailed + SystemMessage(error));
}

// The log's records that the query asks for, newest first.
THandle Query(const TEventQuery& query) {
  SetLastError(ERROR_SUCCESS);
  THandle results(EvtQuery(nullptr, kChannel, Utf16(query.xpath).c_str(),
                           EvtQueryChannelPath | EvtQueryReverseDirection));
  if (!results) Fail(GetLastError());
  return results;
}

std::string Text(std::wstring text) {
  text.resize(std::wcslen(text.c_str()));
  return Utf8(text);
}

// The record without its message. EvtRender counts its buffer in bytes.
std::string EventXml(EVT_HANDLE event) {
  DWORD used = 0;
  DWORD properties = 0;
  EvtRender(nullptr, event, EvtRenderEventXml, 0, nullptr, &used, &properties);
  std::wstring xml(used / sizeof(wchar_t) + 1, L'\0');
  if (!EvtRender(nullptr, event, EvtRenderEventXml, used, xml.data(), &used, &properties)) {
    Fail(GetLastError());
  }
  return Text(std::move(xml));
}

// The record with its message, as its publisher renders it; none when it
// cannot. EvtFormatMessage counts its buffer in characters, and fills it
// even when some of the message's inserts stay unresolved.
std::optional<std::string> RenderedXml(EVT_HANDLE publisher, EVT_HANDLE event) {
  DWORD used = 0;
  EvtFormatMessage(publisher, event, 0, 0, nullptr, EvtFormatMessageXml, 0, nullptr, &used);
  if (used == 0) return std::nullopt;
  std::wstring xml(used + 1, L'\0');
  if (!EvtFormatMessage(publisher, event, 0, 0, nullptr, EvtFormatMessageXml, used, xml.data(),
                        &used)) {
    const DWORD error = GetLastError();
    if (error != ERROR_EVT_UNRESOLVED_VALUE_INSERT &&
        error != ERROR_EVT_UNRESOLVED_PARAMETER_INSERT && error != ERROR_EVT_MAX_INSERTS_REACHED) {
      return std::nullopt;
    }
  }
  return Text(std::move(xml));
}

// Each provider's message texts, opened once; none for a provider whose
// texts are not installed.
class TPublishers {
 public:
  EVT_HANDLE Of(const std::string& provider) {
    auto found = m_open.find(provider);
    if (found == m_open.end()) {
      found = m_open
                  .emplace(provider, THandle(EvtOpenPublisherMetadata(
                                         nullptr, Utf16(provider).c_str(), nullptr, 0, 0)))
                  .first;
    }
    return found->second.get();
  }

 private:
  std::map<std::string, THandle> m_open;
};

boost::json::object Record(EVT_HANDLE event, TPublishers& publishers) {
  const TEventRecord plain = ParseRenderedEvent(EventXml(event));
  if (const EVT_HANDLE publisher = publishers.Of(plain.provider)) {
    if (const std::optional<std::string> rendered = RenderedXml(publisher, event)) {
      return ParseRenderedEvent(*rendered).Instance();
    }
  }
  return plain.Instance();
}

// What the record of the class says: the bounds, and the records that
// could not be read, which leave the class read in part.
std::string Note(const TEventQuery& query, unsigned maxEvents, unsigned skipped,
                 const std::string& firstSkip) {
  std::string note = query.bounds + ", at most " + std::to_string(maxEvents);
  if (skipped != 0) {
    note += "; " + std::to_string(skipped) + " could not be read: " + firstSkip;
  }
  return note;
}

}  // namespace

// The walk ends at the count, at the bookmark, at the log's oldest record within the age, or
// at the time limit, which makes the class unreadable.
TClassResult ReadSystemEventLog(unsigned maxEvents, unsigned maxDays,
                                const std::optional<std::string>& bookmark,
                                const TDeadline& collection) {
  const TDeadline deadline = collection.ForSource(kSource, kLogLimit);
  TInstanceList records;
  unsigned skipped = 0;
  std::string firstSkip;
  const TEventQuery query = SystemEventQuery(maxDays, bookmark);
  try {
    const THandle results = Query(query);
    TPublishers publishers;
    while (records.Size() + skipped < maxEvents) {
      const DWORD wanted =
          static_cast<DWORD>(std::min<std::size_t>(kBatch, maxEvents - records.Size() - skipped));
      EVT_HANDLE batch[kBatch] = {};
      DWORD count = 0;
      if (!EvtNext(results.get(), wanted, batch, deadline.RemainingMs(), 0, &count)) {
        const DWORD error = GetLastError();
        if (error == ERROR_NO_MORE_ITEMS) break;
        if (error != ERROR_TIMEOUT) Fail(error);
      }
      std::vector<THandle> events(batch, batch + count);
      for (const THandle& event : events) {
        try {
          records.Add(Record(event.get(), publishers));
        } catch (const TSourceError& error) {
          if (skipped++ == 0) firstSkip = error.what();
        }
      }
    }
  } catch (const TSourceError& error) {
    return UnreadableClass(kClass, kSource, error.what());
  }
  const std::string note = Note(query, maxEvents, skipped, firstSkip);
  if (skipped != 0) return PartialClass(kClass, kSource, std::move(records), note);
  return ReadClass(kClass, kSource, std::move(records), note);
}

}  // namespace NZARNCOLLECT
