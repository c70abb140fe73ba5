#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "zarncore/Inventory.h"

namespace NZARN {

// What tells one record of the System event log from every other: the
// same record, collected again in a later run, has the same identity.
struct TEventIdentity {
  std::string time;                    // TimeGenerated
  std::string source;                  // SourceName
  std::optional<std::string> eventId;  // EventID as text; none when null
  std::optional<std::string> message;  // none when null

  bool operator<(const TEventIdentity& other) const;
};

// The identity of the instance when it is a record of the System event
// log; none for an instance of any other class.
std::optional<TEventIdentity> EventIdentityOf(const NZARNCORE::TInventory& inventory,
                                              NZARNCORE::TInventory::TInstanceIndex instance);

// The time of the newest record of the System event log the inventory
// holds; none when it holds none, or when the log was not read in full,
// since the records it could not read may be newer.
std::optional<std::string> NewestEventTime(const NZARNCORE::TInventory& inventory);

// What zarn check's state file keeps: the event records whose findings a
// run reported, each with when a run last saw it (Unix seconds), and the
// time of the newest record a reported run collected, from which the
// Windows collector reads on.
class TEventState {
 public:
  // Throws std::runtime_error, saying what is wrong and where, for a text
  // that is no state of this format.
  static TEventState Parse(const std::string& text);
  std::string Text() const;

  bool Reported(const TEventIdentity& record) const { return m_records.count(record) != 0; }
  std::size_t Size() const { return m_records.size(); }
  const std::optional<std::string>& Newest() const { return m_newest; }

  // Keeps the later of the two times.
  void Report(const TEventIdentity& record, std::int64_t seen);
  void SetNewest(const std::string& time);
  void Merge(const TEventState& other);
  // A record no run has seen since before cutoff has left the log, or the
  // age the collector reads: it cannot come back.
  void ForgetUnseenSince(std::int64_t cutoff);

 private:
  std::map<TEventIdentity, std::int64_t> m_records;
  std::optional<std::string> m_newest;
};

}  // namespace NZARN
