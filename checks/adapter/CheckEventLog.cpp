#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "cim/Text.h"
#include "plugin/TvxAnalPluginCallbacks.h"

namespace NTVXANAL {
namespace {

const char kEventLogClass[] = "QELSG_WindowsSystemEventLogRecord";
const char kEventId[] = "EventID";
const char kMessage[] = "Message";

// The events the adapter drivers log when a device or the adapter fails.
const std::int32_t kSelectedEventIds[] = {9, 11, 15, 26, 50, 51};
// Searched in this order; the first one found is named in the line.
const char* const kDriverFiles[] = {"zelk412.sys", "qvtmpdrv.sys"};

const char kLineStart[] = "Found in system event log a message with event id ";
const char kLineDriver[] = " associated with ";
const char kLineMessage[] = ", the message reads ";

bool IsSelected(std::int32_t eventId) {
  return std::find(std::begin(kSelectedEventIds), std::end(kSelectedEventIds), eventId) !=
         std::end(kSelectedEventIds);
}

// The driver file the message names, or null. The message is searched as a
// C text, up to its first zero character.
const char* NamedDriverFile(const std::string& message) {
  for (const char* const driverFile : kDriverFiles)
    if (std::strstr(message.c_str(), driverFile) != nullptr) return driverFile;
  return nullptr;
}

// The line made in one piece: a flooded event log gives hundreds of
// thousands.
std::string FindingLine(const std::string& prefix, std::int32_t eventId, const char* driverFile,
                        const std::string& text) {
  const std::string id = std::to_string(eventId);
  std::string line;
  line.reserve(prefix.size() + sizeof kLineStart + id.size() + sizeof kLineDriver +
               std::strlen(driverFile) + sizeof kLineMessage + text.size());
  line.append(prefix).append(kLineStart).append(id).append(kLineDriver);
  line.append(driverFile).append(kLineMessage).append(text);
  return line;
}

// Reports the record when its message names a driver file.
void ReportDriverMessage(const std::string& prefix, const TInstancePtr& record,
                         std::int32_t eventId) {
  const TPropertyPtr property = LookUpProperty(record, kMessage);
  const NQELZARN20::TCIMValue& message = property->GetValue(NQELZARN20::TCIMContext());
  if (message.IsNull()) return;
  const std::string text = message.ToString(10);
  const char* const driverFile = NamedDriverFile(text);
  if (driverFile == nullptr) return;
  ReportFinding(kLevelFinding, FindingLine(prefix, eventId, driverFile, text));
}

}  // namespace

// Reports every system event log record of the adapter drivers that has one
// of the selected event IDs, quoting its message.
void TTvxAnalPluginCallbacks::CheckEventLog(TNamespacePtr cimNamespace) {
  try {
    const TInstanceList records = QueryInstances(cimNamespace, kEventLogClass, MakeQueryContext());
    for (const TInstancePtr& record : records) {
      const NQELZARN20::TCIMValue eventIdValue = ReadProperty(record, kEventId);
      if (eventIdValue.IsNull()) continue;
      const std::int32_t eventId = ReadInteger(eventIdValue.ToString(10));
      if (!IsSelected(eventId)) continue;
      try {
        ReportDriverMessage(MessagePrefix, record, eventId);
      } catch (const NQELZARN20::TZARNException& error) {
        // A record the host cannot deliver whole is passed over; any other
        // failure ends the check below.
        if (error.GetStatusCode() != NQELZARN20::kZARNStatusNotAvailable) throw;
      }
    }
  } catch (const NQELZARN20::TZARNException&) {
    // The event log is a side source: the checks after this one still run.
    ReportFinding(kLevelDiagnostic, kClassOrPropertyMissingLine);
  }
}

}  // namespace NTVXANAL
