#pragma once

#include <cstdint>

namespace NTVXANAL {

// The operating system's library notifications, with the arguments and
// result of the Windows library entry.
typedef void* TModuleHandle;
typedef std::uint32_t TEntryReason;
typedef int TEntryResult;

const TEntryReason kProcessDetach = 0;
const TEntryReason kProcessAttach = 1;
const TEntryReason kThreadAttach = 2;
const TEntryReason kThreadDetach = 3;

const TEntryResult kEntryFailed = 0;
const TEntryResult kEntrySucceeded = 1;

// Creates and registers the plug-in object on process attach; every other
// notification does nothing.
TEntryResult LibraryEntry(TModuleHandle module, TEntryReason reason, void* reserved);

}  // namespace NTVXANAL
