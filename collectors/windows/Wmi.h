#pragma once

#include <wbemidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include <optional>

#include "collectors/Deadline.h"

namespace NZARNCOLLECT {

// COM on this thread while the collection runs. A failure to start it
// shows in the WMI connection.
class TComSession {
 public:
  TComSession();
  ~TComSession();
  TComSession(const TComSession&) = delete;
  TComSession& operator=(const TComSession&) = delete;

  HRESULT Status() const { return m_status; }

 private:
  HRESULT m_status;
  bool m_started;
};

// WMI's ROOT\CIMV2 namespace on this machine. A connection that could not
// be made says why on every query, so that each class that needs it is
// recorded as unreadable with the reason.
class TWmiConnection {
 public:
  // Each query gets its own limit, or what remains of the collection's.
  TWmiConnection(const TComSession& com, TDeadline collection);

  // Runs a WQL query on the class `name` and hands each object to `each`.
  // WMI answers as it finds the objects; the whole answer must come within
  // `limit`. Throws TSourceError.
  void Query(const std::string& name, const std::wstring& wql, std::chrono::seconds limit,
             const std::function<void(IWbemClassObject&)>& each) const;

 private:
  void Connect(const TComSession& com);

  Microsoft::WRL::ComPtr<IWbemServices> m_services;
  std::string m_failure;
  TDeadline m_collection;
};

// A property's value; none when it is null, missing or of another kind.
std::optional<std::string> TextOf(IWbemClassObject& object, const wchar_t* property);
std::optional<std::uint32_t> NumberOf(IWbemClassObject& object, const wchar_t* property);

}  // namespace NZARNCOLLECT
