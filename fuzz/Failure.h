#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace NFUZZ {

// A broken promise: says which and aborts, so the fuzzer keeps the input
// and a replay fails.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "broken promise: %s\n", what.c_str());
  std::abort();
}

}  // namespace NFUZZ
