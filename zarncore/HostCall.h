#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include <optional>

#include "host/ZARNException.h"

namespace NZARNCORE {

// One call the plug-in made into the repository, as the trace shows it.
struct THostCall {
  enum EKind {
    GetName,
    GetClass,
    EnumerateInstances,
    EnumerateAssociatedInstances,
    GetProperty,
    GetOperatingSystemType
  };
  // Names are filled in only where the observer is shown them: a property
  // read, the most frequent call, otherwise makes no string at all.
  explicit THostCall(EKind callKind) : kind(callKind) {}
  THostCall(EKind callKind, std::string callClass, std::string callInstance = std::string(),
            std::string callProperty = std::string())
      : kind(callKind),
        className(std::move(callClass)),
        instance(std::move(callInstance)),
        property(std::move(callProperty)) {}

  EKind kind;
  std::string className;  // GetName, GetClass, EnumerateInstances; result class of associations
  std::string instance;   // EnumerateAssociatedInstances, GetProperty
  std::string property;   // GetProperty
  // The instance that instance names, by its place in the inventory; set
  // whenever the call names one, traced or not.
  std::optional<std::size_t> instanceIndex;
  std::optional<std::size_t> count;                   // instances delivered
  std::optional<std::uint16_t> result;                // operating-system type
  std::optional<NQELZARN20::TZARNStatusCode> status;  // set when the call threw
};

// Receives the lines the core logger is given and, when tracing, the host
// calls, in the order they happen.
class IHostObserver {
 public:
  virtual ~IHostObserver() = default;
  virtual void OnLog(std::int32_t level, const std::string& text) = 0;
  virtual void OnHostCall(const THostCall& call) = 0;
};

}  // namespace NZARNCORE
