#pragma once

#include <string>
#include <vector>

#include "support/CaseName.h"

namespace NZARNTEST {

using NTESTS::TCaseName;

struct TRunResult {
  std::string out;
  std::string err;
  int status = -1;  // the exit status; -1 when a signal ended the program
};

// Runs the built zarn with these arguments from the source tree's root,
// with `input` on its standard input.
TRunResult RunZarn(const std::vector<std::string>& args, const std::string& input = std::string());

#if !defined(_WIN32)
// Runs a shell script from the source tree's root, with zarn's folder first
// on PATH and stderr merged into stdout, as a terminal shows them.
TRunResult RunShell(const std::string& script);
#endif

// A file of the source tree (or any file, by its absolute path).
std::string ReadFile(const std::string& path);

}  // namespace NZARNTEST
