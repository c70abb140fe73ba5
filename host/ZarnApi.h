#pragma once

// Symbols of the host core library: exported when building it, imported by
// the host program and the plug-ins.
#if defined(_WIN32)
#if defined(ZARNCORE_BUILD)
#define ZARN_API __declspec(dllexport)
#else
#define ZARN_API __declspec(dllimport)
#endif
#else
#define ZARN_API __attribute__((visibility("default")))
#endif
