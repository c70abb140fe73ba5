// A library that loads cleanly but registers no plug-in object.
#include "host/Zarn.h"

namespace {

__attribute__((constructor)) void AttachToProcess() {
  // Finds the plug-in manager, as a plug-in would, and never registers.
  NQELZARN20::TRootObject::GetPluginManager();
}

}  // namespace
