#include "collectors/windows/RenderedEvent.h"

#include <charconv>
#include <sstream>

#include <boost/json/value.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "collectors/InventoryDocument.h"
#include "collectors/SourceError.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

namespace pt = boost::property_tree;

const char kNotXml[] = "a record is not well-formed XML: ";
const char kNotEvent[] = "a record is no event: it has no Event/System element";

std::optional<std::uint32_t> Number(const std::string& text) {
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto parsed = std::from_chars(text.data(), end, value);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
  return value;
}

std::string WithoutLineEnd(std::string text) {
  text.erase(text.find_last_not_of(" \t\r\n") + 1);
  return text;
}

pt::ptree Tree(const std::string& xml) {
  std::istringstream in(xml);
  pt::ptree tree;
  try {
    pt::read_xml(in, tree);
  } catch (const pt::xml_parser_error& error) {
    throw TSourceError(kNotXml + error.message());
  }
  return tree;
}

}  // namespace

boost::json::object TEventRecord::Instance() const {
  using NZARNCORE::NSchema::TEventLogRecord;
  const boost::json::value id = eventId ? boost::json::value(*eventId) : nullptr;
  return boost::json::object{
      {TEventLogRecord::kEventId, Typed(NQELZARN20::eCIMTypeUInt32, id)},
      {TEventLogRecord::kSourceName, source},
      {TEventLogRecord::kMessage, message ? boost::json::value(*message) : nullptr},
      {TEventLogRecord::kTimeGenerated, time}};
}

// A classic source's provider carries the source's name as EventSourceName.
TEventRecord ParseRenderedEvent(const std::string& xml) {
  const pt::ptree tree = Tree(xml);
  const boost::optional<const pt::ptree&> system = tree.get_child_optional("Event.System");
  if (!system) throw TSourceError(kNotEvent);
  TEventRecord record;
  record.eventId = Number(system->get("EventID", ""));
  record.provider = system->get("Provider.<xmlattr>.Name", "");
  record.source = system->get("Provider.<xmlattr>.EventSourceName", record.provider);
  record.time = system->get("TimeCreated.<xmlattr>.SystemTime", "");
  if (const boost::optional<std::string> message =
          tree.get_optional<std::string>("Event.RenderingInfo.Message")) {
    record.message = WithoutLineEnd(*message);
  }
  return record;
}

}  // namespace NZARNCOLLECT
