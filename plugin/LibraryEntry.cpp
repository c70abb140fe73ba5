#include "plugin/LibraryEntry.h"

#include <new>

#include "plugin/TvxAnalPluginCallbacks.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace NTVXANAL {

TEntryResult LibraryEntry(TModuleHandle /*module*/, TEntryReason reason, void* /*reserved*/) {
  if (reason != kProcessAttach) return kEntrySucceeded;
  // The object registers itself while it is built and belongs to the host
  // from then on, so the library keeps no pointer to it. A construction that
  // throws has freed the object and registered nothing; the load must fail.
  try {
    return new (std::nothrow) TTvxAnalPluginCallbacks() != nullptr ? kEntrySucceeded : kEntryFailed;
  } catch (...) {
    return kEntryFailed;
  }
}

}  // namespace NTVXANAL

#if defined(_WIN32)
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  return NTVXANAL::LibraryEntry(module, reason, reserved);
}
#else
namespace {
// Linux has no process-attach notification; loading the library is one.
__attribute__((constructor)) void AttachToProcess() {
  NTVXANAL::LibraryEntry(nullptr, NTVXANAL::kProcessAttach, nullptr);
}
}  // namespace
#endif
