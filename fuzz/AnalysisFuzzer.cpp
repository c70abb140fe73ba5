// The whole analysis, through the plug-in's real entry: the built plug-in is
// loaded as the host loads it, and RunAnalysis gets inventories shaped from
// the fuzzer's bytes, or read from them when they are an inventory file.
// After every run: only TZARNException, never with status 15, may have left
// RunAnalysis; every line is at level 0, 3, 100 or 101; the plug-in holds no
// host reference.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include "fuzz/Failure.h"
#include "fuzz/ShapedInventory.h"
#include "host/Zarn.h"
#include "zarncore/HostRoot.h"
#include "zarncore/InventoryLoader.h"
#include "zarncore/PluginHost.h"
#include "zarncore/Repository.h"

namespace {

using NZARNCORE::TInventory;

const char* const kAnalysisClass = NQELZARN20::kHeavyHittersAnalysisClass;

// Checks every line as the plug-in writes it.
class TLevelCheck : public NZARNCORE::IHostObserver {
 public:
  void OnLog(std::int32_t level, const std::string& text) override {
    if (level != 0 && level != 3 && level != 100 && level != 101)
      NFUZZ::Fail("line at level " + std::to_string(level) + ": " + text);
  }
  void OnHostCall(const NZARNCORE::THostCall&) override {}
};

// The host side, set up once per process as the host does: the root object,
// then the plug-in library, whose load-time constructor registers it.
class THost {
 public:
  static THost& Instance() {
    static THost host;
    return host;
  }

  void Analyze(const boost::shared_ptr<const TInventory>& inventory,
               const std::vector<std::string>& classes, int runs);

 private:
  THost() {
    NZARNCORE::InitialiseRootObject(boost::make_shared<NQELZARN20::TPluginManagerNamespace>(),
                                    boost::make_shared<NZARNCORE::TCoreLogger>(m_levels));
    m_plugin.reset(new NZARNCORE::TLoadedPlugin(TVXANAL_PLUGIN_PATH));
  }

  void Run(NZARNCORE::TRepository& repository, const std::vector<std::string>& classes);

  TLevelCheck m_levels;
  std::unique_ptr<NZARNCORE::TLoadedPlugin> m_plugin;
};

// Any exception but TZARNException goes on to end the process.
void THost::Run(NZARNCORE::TRepository& repository, const std::vector<std::string>& classes) {
  std::vector<boost::shared_ptr<NQELZARN20::ICIMClass> > classList;
  for (const std::string& name : classes) classList.push_back(repository.MakeClass(name));
  try {
    m_plugin->Analysis().RunAnalysis(repository.OpenNamespace(), classList);
  } catch (const NQELZARN20::TZARNException& error) {
    if (error.GetStatusCode() == NQELZARN20::kZARNStatusNotAvailable)
      NFUZZ::Fail("status 15 left RunAnalysis");
  }
}

void THost::Analyze(const boost::shared_ptr<const TInventory>& inventory,
                    const std::vector<std::string>& classes, int runs) {
  NZARNCORE::TRepository repository(inventory);
  for (int run = 0; run < runs; ++run) {
    Run(repository, classes);
    const std::size_t held = repository.OutstandingReferences();
    if (held != 0)
      NFUZZ::Fail("the plug-in still holds " + std::to_string(held) + " host references");
  }
}

// An input that reads as an inventory file is analysed as the host program
// would; one that does not is no inventory at all.
void AnalyzeFile(const std::string& text) {
  boost::shared_ptr<TInventory> inventory;
  try {
    inventory = NZARNCORE::LoadInventoryText(text, "fuzz.json");
  } catch (const NZARNCORE::TInventoryError&) {
    return;
  }
  THost::Instance().Analyze(inventory, {kAnalysisClass}, 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  THost::Instance();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && data[0] == '{') {
    AnalyzeFile(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
  }
  const NFUZZ::TShapedAnalysis shaped = NFUZZ::ShapeAnalysis(data, size);
  THost::Instance().Analyze(shaped.inventory, shaped.classes, shaped.runs);
  return 0;
}
