// A plug-in whose behaviour the test chooses: every class name in the list
// given to RunAnalysis is one step, done in list order on every run.
//   log:LEVEL:TEXT       logs TEXT at LEVEL; %XX in TEXT is the byte XX (hex)
//   throw:N              throws TZARNException with status N
//   throw-runtime:TEXT   throws std::runtime_error(TEXT)
//   null                 uses a null host reference
//   leak                 keeps the namespace and the class list after the run
//   query:CLASS          GetClass, then EnumerateInstances
//   property:CLASS:NAME  the same, then GetProperty NAME of each instance
//   assoc:CLASS:RESULT   the same, then EnumerateAssociatedInstances of each
//   os                   GetOperatingSystemType
//   runK:STEP            STEP in the K-th run only
//   crash                ends the process as a fault would (abort)
//   hang                 waits until the process is ended
//   sleep:MS             waits MS milliseconds
//   if:CLASS:STEP        STEP when the inventory has CLASS
// The analysis class QELSG_TVXHeavyHittersAnalysis, which zarn check asks
// for, does the steps of the environment variable SCRIPTED_STEPS, separated
// by ';'.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <boost/pointer_cast.hpp>
#include <boost/shared_ptr.hpp>

#include "host/Zarn.h"

namespace {

using namespace NQELZARN20;

typedef boost::shared_ptr<ICIMNamespace> TNamespacePtr;
typedef std::vector<boost::shared_ptr<ICIMClass> > TClassList;
typedef std::vector<boost::shared_ptr<ICIMInstance> > TInstanceList;

// "a:b:c" split at its first colon.
std::pair<std::string, std::string> SplitStep(const std::string& step) {
  const std::size_t colon = step.find(':');
  if (colon == std::string::npos) return {step, ""};
  return {step.substr(0, colon), step.substr(colon + 1)};
}

TInstanceList Query(const TNamespacePtr& cimNamespace, const std::string& className) {
  TInstanceList instances;
  cimNamespace->GetClass(className, TCIMContext())
      ->EnumerateInstances(TAddToVectorCallback<ICIMInstance>(instances), true, TCIMContext());
  return instances;
}

void QueryProperty(const TNamespacePtr& cimNamespace, const std::string& argument) {
  const std::pair<std::string, std::string> names = SplitStep(argument);
  for (const auto& instance : Query(cimNamespace, names.first)) {
    instance->GetProperty(names.second, TCIMContext());
  }
}

void QueryAssociated(const TNamespacePtr& cimNamespace, const std::string& argument) {
  const std::pair<std::string, std::string> names = SplitStep(argument);
  for (const auto& instance : Query(cimNamespace, names.first)) {
    TInstanceList associated;
    instance->EnumerateAssociatedInstances(TAddToVectorCallback<ICIMInstance>(associated), "",
                                           names.second, "", "", TCIMContext());
  }
}

// Bytes that a command line cannot carry in every encoding, such as
// malformed UTF-8, come as %XX.
std::string Decoded(const std::string& text) {
  std::string bytes;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '%' && at + 2 < text.size()) {
      bytes += static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
      at += 2;
    } else {
      bytes += text[at];
    }
  }
  return bytes;
}

bool HasClass(const TNamespacePtr& cimNamespace, const std::string& className) {
  try {
    cimNamespace->GetClass(className, TCIMContext());
    return true;
  } catch (const TZARNException&) {
    return false;
  }
}

std::vector<std::string> StepsOf(const std::string& className) {
  const char* steps = std::getenv("SCRIPTED_STEPS");
  if (className != kHeavyHittersAnalysisClass || !steps) return {className};
  std::vector<std::string> list;
  std::istringstream items(steps);
  for (std::string step; std::getline(items, step, ';');) list.push_back(step);
  return list;
}

void Log(const std::string& argument) {
  const std::pair<std::string, std::string> levelAndText = SplitStep(argument);
  TRootObject::GetCoreLogger()->Log(std::stoi(levelAndText.first), Decoded(levelAndText.second));
}

class TScriptedPlugin : public IPluginCallbacks, public IPluginBasicQueryCallbacks {
 public:
  TScriptedPlugin() {
    boost::dynamic_pointer_cast<TPluginManagerNamespace>(TRootObject::GetPluginManager())
        ->RegisterPlugin(this);
  }

  std::int32_t GetPluginType() override { return 7; }
  std::string GetPluginName() override { return "Scripted test plug-in"; }
  std::string GetPluginVersion() override { return "0.3"; }
  std::string GetInterfaceVersion() override { return "1.0"; }
  void Destroy() override { delete this; }
  void FirstHook() override {}
  void SecondHook() override {}

  void RunAnalysis(TNamespacePtr cimNamespace, const TClassList& classes) override {
    ++m_run;
    for (const auto& cls : classes) {
      for (const std::string& step : StepsOf(cls->GetName(TCIMContext())))
        Do(step, cimNamespace, classes);
    }
  }

 private:
  void Do(const std::string& step, const TNamespacePtr& cimNamespace, const TClassList& classes) {
    const std::pair<std::string, std::string> parts = SplitStep(step);
    const std::string& command = parts.first;
    const std::string& argument = parts.second;
    if (command.rfind("run", 0) == 0) {
      if (command == "run" + std::to_string(m_run)) Do(argument, cimNamespace, classes);
    } else if (command == "log") {
      Log(argument);
    } else if (command == "throw") {
      throw TZARNException(std::stoi(argument));
    } else if (command == "throw-runtime") {
      throw std::runtime_error(argument);
    } else if (command == "null") {
      TNamespacePtr()->GetClass(argument, TCIMContext());
    } else if (command == "query") {
      Query(cimNamespace, argument);
    } else if (command == "property") {
      QueryProperty(cimNamespace, argument);
    } else if (command == "assoc") {
      QueryAssociated(cimNamespace, argument);
    } else if (command == "os") {
      TCIMSchemaHelper::GetOperatingSystemType(cimNamespace);
    } else if (command == "if") {
      const std::pair<std::string, std::string> condition = SplitStep(argument);
      if (HasClass(cimNamespace, condition.first)) Do(condition.second, cimNamespace, classes);
    } else if (command == "crash") {
      std::abort();
    } else if (command == "hang") {
      for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    } else if (command == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argument)));
    } else if (command == "leak") {
      Keep(cimNamespace, classes);
    } else {
      throw std::invalid_argument("unknown step " + step);
    }
  }

  void Keep(const TNamespacePtr& cimNamespace, const TClassList& classes) {
    m_keptNamespaces.push_back(cimNamespace);
    m_keptClasses.insert(m_keptClasses.end(), classes.begin(), classes.end());
  }

  int m_run = 0;
  std::vector<TNamespacePtr> m_keptNamespaces;
  TClassList m_keptClasses;
};

__attribute__((constructor)) void AttachToProcess() { new TScriptedPlugin(); }

}  // namespace
