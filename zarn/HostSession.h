#pragma once

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

// Loads the plug-in at path; reports why on stderr and gives null when it
// cannot.
std::unique_ptr<NZARNCORE::TLoadedPlugin> LoadPlugin(const std::string& path);

// "zarn: error: message" on stderr.
void ReportError(const std::string& message);

// Flushes stdout; false, with a message, when the output is incomplete.
bool FinishOutput();

// What the exception being handled is, for messages: a host exception by
// its status, others by what().
std::string DescribeCurrentException();

}  // namespace NZARN
