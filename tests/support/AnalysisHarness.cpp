#include "support/AnalysisHarness.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include <boost/json.hpp>
#include <boost/make_shared.hpp>

#include "zarncore/HostRoot.h"
#include "zarncore/InventoryFormat.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/PluginHost.h"
#include "zarncore/Repository.h"

namespace NTESTS {

std::ostream& operator<<(std::ostream& out, const TLine& line) {
  return out << "[" << line.level << "] \"" << line.text << "\"";
}

namespace {

class TRecordingObserver : public NZARNCORE::IHostObserver {
 public:
  void OnLog(std::int32_t level, const std::string& text) override {
    result.lines.push_back(TLine{level, text});
  }
  void OnHostCall(const NZARNCORE::THostCall& call) override { result.calls.push_back(call); }

  TRunResult result;
};

boost::json::object QuietServer() {
  std::ifstream file(QUIET_SERVER_PATH, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  boost::json::value server = boost::json::parse(text.str());
  return std::move(server.as_object());
}

// The host side: the root object with a recording logger, and the plug-in
// loaded once, as the host does.
class THarness {
 public:
  static THarness& Instance() {
    static THarness harness;
    return harness;
  }

  TRunResult Run(const boost::shared_ptr<NZARNCORE::TInventory>& inventory,
                 const std::vector<std::string>& classes) {
    m_observer = TRecordingObserver();
    NZARNCORE::TRepository repository(inventory);
    repository.SetCallObserver(&m_observer);
    try {
      std::vector<boost::shared_ptr<NQELZARN20::ICIMClass> > classList;
      for (const std::string& name : classes)
        classList.push_back(name == kNullClass ? nullptr : repository.MakeClass(name));
      m_plugin->Analysis().RunAnalysis(repository.OpenNamespace(), classList);
    } catch (const NQELZARN20::TZARNException& error) {
      m_observer.result.exception = "TZARNException " + std::to_string(error.GetStatusCode());
    } catch (const std::exception& error) {
      m_observer.result.exception = error.what();
    }
    EXPECT_EQ(repository.OutstandingReferences(), 0u) << "the plug-in still holds host references";
    return m_observer.result;
  }

  NQELZARN20::IPluginBasicQueryCallbacks& Analysis() const { return m_plugin->Analysis(); }

 private:
  // The management advice is written once per process. It is spent here, so
  // that every case meets the same plug-in whichever cases ran before it;
  // zarn's golden cases pin the advice itself.
  THarness() {
    NZARNCORE::InitialiseRootObject(boost::make_shared<NQELZARN20::TPluginManagerNamespace>(),
                                    boost::make_shared<NZARNCORE::TCoreLogger>(m_observer));
    m_plugin = std::make_unique<NZARNCORE::TLoadedPlugin>(TVXANAL_PLUGIN_PATH);
    Run(PatchedServer(R"({"QELSG_InstalledApplication": [], "QELSG_PCIDevice": [
          {"VendorID": {"uint16": 36869}, "PciDeviceID": {"uint16": 645}}]})"),
        {kAnalysisClass});
  }

  TRecordingObserver m_observer;
  std::unique_ptr<NZARNCORE::TLoadedPlugin> m_plugin;
};

bool IsTopLevelKey(const boost::json::string_view key) {
  return key == NZARNCORE::kOperatingSystemTypeKey || key == NZARNCORE::kAssociationsKey;
}

std::string Joined(const std::vector<std::string>& items, const std::string& open,
                   const std::string& close) {
  std::string list;
  for (const std::string& item : items) list += (list.empty() ? open : ", " + open) + item + close;
  return list;
}

}  // namespace

std::string Patch(const std::vector<std::string>& members) {
  return "{" + Joined(members, "", "") + "}";
}

std::string Instances(const std::string& className, const std::vector<std::string>& instances) {
  return "\"" + className + "\": [" + Joined(instances, "{", "}") + "]";
}

boost::shared_ptr<NZARNCORE::TInventory> PatchedServer(const std::string& patch) {
  boost::json::object server = QuietServer();
  boost::json::object& classes = server[NZARNCORE::kClassesKey].as_object();
  const boost::json::value changes = boost::json::parse(patch);
  for (const auto& entry : changes.as_object()) {
    boost::json::object& target = IsTopLevelKey(entry.key()) ? server : classes;
    if (entry.value().is_null()) {
      target.erase(entry.key());
    } else {
      target[entry.key()] = entry.value();
    }
  }
  return NZARNCORE::LoadInventoryText(boost::json::serialize(server), "patched-server.json");
}

TRunResult Analyze(const std::string& patch, const std::vector<std::string>& classes) {
  return Analyze(PatchedServer(patch), classes);
}

TRunResult Analyze(const boost::shared_ptr<NZARNCORE::TInventory>& inventory,
                   const std::vector<std::string>& classes) {
  return THarness::Instance().Run(inventory, classes);
}

NQELZARN20::IPluginBasicQueryCallbacks& LoadedAnalysis() { return THarness::Instance().Analysis(); }

}  // namespace NTESTS
