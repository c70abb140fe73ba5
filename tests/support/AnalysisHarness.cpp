#include "support/AnalysisHarness.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "host/Zarn.h"
#include "zarncore/HostRoot.h"
#include "zarncore/Repository.h"

namespace NTESTS {

std::ostream& operator<<(std::ostream& out, const TLine& line) {
  return out << "[" << line.level << "] \"" << line.text << "\"";
}

namespace {

std::string Render(const NZARNCORE::THostCall& call) {
  using NZARNCORE::THostCall;
  std::string text;
  switch (call.kind) {
    case THostCall::GetName:
      text = "GetName " + call.className;
      break;
    case THostCall::GetClass:
      text = "GetClass " + call.className;
      break;
    case THostCall::EnumerateInstances:
      text = "EnumerateInstances " + call.className;
      break;
    case THostCall::EnumerateAssociatedInstances:
      text = "EnumerateAssociatedInstances " + call.instance + " " + call.className;
      break;
    case THostCall::GetProperty:
      text = "GetProperty " + call.instance + "." + call.property;
      break;
    case THostCall::GetOperatingSystemType:
      text = "GetOperatingSystemType";
      break;
  }
  if (call.count) text += " =" + std::to_string(*call.count);
  if (call.result) text += " =" + std::to_string(*call.result);
  if (call.status) text += " !" + std::to_string(*call.status);
  return text;
}

}  // namespace

void TRecordingObserver::OnLog(std::int32_t level, const std::string& text) {
  lines.push_back(TLine{level, text});
  events.push_back("[" + std::to_string(level) + "] " + text);
}

void TRecordingObserver::OnHostCall(const NZARNCORE::THostCall& call) {
  calls.push_back(Render(call));
  events.push_back(calls.back());
}

TAnalysisHarness& TAnalysisHarness::Instance() {
  static TAnalysisHarness harness;
  return harness;
}

TAnalysisHarness::TAnalysisHarness() {
  NZARNCORE::InitialiseRootObject(boost::make_shared<NQELZARN20::TPluginManagerNamespace>(),
                                  boost::make_shared<NZARNCORE::TCoreLogger>(m_observer));
  m_plugin.reset(new NZARNCORE::TLoadedPlugin(TVXANAL_PLUGIN_PATH));
}

TRunResult TAnalysisHarness::Run(const TInventoryBuilder& inventory,
                                 const std::vector<std::string>& classes) {
  m_observer = TRecordingObserver();
  NZARNCORE::TRepository repository(inventory.Build());
  repository.SetCallObserver(&m_observer);
  TRunResult result;
  {
    std::vector<boost::shared_ptr<NQELZARN20::ICIMClass> > classList;
    for (const std::string& name : classes)
      classList.push_back(name == kNullClass ? nullptr : repository.MakeClass(name));
    try {
      m_plugin->Analysis().RunAnalysis(repository.OpenNamespace(), classList);
    } catch (const NQELZARN20::TZARNException& error) {
      result.exception = "TZARNException " + std::to_string(error.GetStatusCode());
    } catch (const std::exception& error) {
      result.exception = error.what();
    }
  }
  result.lines = m_observer.lines;
  result.calls = m_observer.calls;
  result.events = m_observer.events;
  result.outstandingReferences = repository.OutstandingReferences();
  return result;
}

TRunResult Analyse(const TInventoryBuilder& inventory, const std::vector<std::string>& classes) {
  TRunResult result = TAnalysisHarness::Instance().Run(inventory, classes);
  EXPECT_EQ(result.outstandingReferences, 0u) << "the plug-in still holds host references";
  return result;
}

}  // namespace NTESTS
