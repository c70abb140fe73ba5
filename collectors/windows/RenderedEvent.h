#pragma once

#include <cstdint>
#include <string>

#include <boost/json/object.hpp>
#include <optional>

namespace NZARNCOLLECT {

// One record of an event log, as the system renders it in XML: the event,
// and where its publisher could render it, its message text.
struct TEventRecord {
  std::optional<std::uint32_t> eventId;
  std::string provider;  // whose message texts render the event
  std::string source;    // the name the log shows for the provider
  std::optional<std::string> message;
  std::string time;  // when it was logged, UTC in ISO 8601

  // As an instance of NSchema::TEventLogRecord.
  boost::json::object Instance() const;
};

// Reads <Event> as the event-log API renders it, with or without its
// <RenderingInfo>; the message is the text of RenderingInfo/Message, without
// the line breaks and blanks that end it. Throws TSourceError when the text
// is no well-formed event.
TEventRecord ParseRenderedEvent(const std::string& xml);

}  // namespace NZARNCOLLECT
