#include "zarn/commands/HostSession.h"

#include <filesystem>
#include <iostream>

#include <boost/make_shared.hpp>

#include "host/Plugin.h"
#include "host/ZARNException.h"
#include "zarncore/HostRoot.h"
#include "zarncore/Text.h"

namespace NZARN {

using NZARNCORE::Displayed;

THostSession::THostSession(NZARNCORE::IHostObserver& observer) {
  NZARNCORE::InitialiseRootObject(boost::make_shared<NQELZARN20::TPluginManagerNamespace>(),
                                  boost::make_shared<NZARNCORE::TCoreLogger>(observer));
}

THostSession::~THostSession() { NZARNCORE::ResetRootObject(); }

namespace {

// A bare file name would make the loader search the system's library
// folders; the user means the file in the current folder.
std::string LibraryPath(const std::string& path) {
  const std::filesystem::path given(path);
  return given.has_parent_path() ? path : (std::filesystem::path(".") / given).string();
}

}  // namespace

std::unique_ptr<NZARNCORE::TLoadedPlugin> LoadPlugin(const std::string& path,
                                                     const TErrorSink& report) {
  try {
    return std::make_unique<NZARNCORE::TLoadedPlugin>(LibraryPath(path));
  } catch (const NZARNCORE::TPluginLoadError& error) {
    report(error.what());
    return nullptr;
  }
}

void ReportError(const std::string& message) {
  std::cerr << "zarn: error: " + Displayed(message) + '\n';
}

bool FinishOutput() {
  if (std::cout.flush()) return true;
  ReportError("writing the output failed; it is incomplete");
  return false;
}

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const NQELZARN20::TZARNException& error) {
    const NQELZARN20::TZARNStatusCode status = error.GetStatusCode();
    return "status " + std::to_string(status) + ": " + NQELZARN20::TranslateStatusCode(status);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an exception of unknown type";
  }
}

}  // namespace NZARN
