#pragma once

#include <functional>
#include <memory>
#include <string>

#include "zarncore/HostCall.h"
#include "zarncore/PluginHost.h"

namespace NZARN {

// Sets up the host's root object (plug-in manager and core logger) for as
// long as it lives; plug-ins must be loaded and unloaded within it.
class THostSession {
 public:
  explicit THostSession(NZARNCORE::IHostObserver& observer);
  ~THostSession();
  THostSession(const THostSession&) = delete;
  THostSession& operator=(const THostSession&) = delete;
};

// Where a command's error messages go.
using TErrorSink = std::function<void(const std::string& message)>;

// "zarn: error: message" on stderr.
void ReportError(const std::string& message);

// Flushes stdout; false, with a message, when the output is incomplete.
bool FinishOutput();

// Loads the plug-in at path; gives report why and null when it cannot.
std::unique_ptr<NZARNCORE::TLoadedPlugin> LoadPlugin(const std::string& path,
                                                     const TErrorSink& report = ReportError);

// What the exception being handled is, for messages: a host exception by
// its status, others by what().
std::string DescribeCurrentException();

}  // namespace NZARN
