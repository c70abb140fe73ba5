#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace NZARNTEST {

struct TRunResult {
  std::string out;
  std::string err;
  int status = -1;  // the exit status; -1 when a signal ended the program
};

// Runs the built zarn with these arguments from the source tree's root.
TRunResult RunZarn(const std::vector<std::string>& args);

#if !defined(_WIN32)
// Runs a shell script from the source tree's root, with zarn's folder first
// on PATH and stderr merged into stdout, as a terminal shows them.
TRunResult RunShell(const std::string& script);
#endif

std::string DataFile(const std::string& name);
std::string TestPlugin(const std::string& name);
// A file of the source tree (or any file, by its absolute path).
std::string ReadFile(const std::string& path);

// Names table-driven cases by their name member, in test names and in
// failure messages.
struct CaseName {
  template <class T>
  std::string operator()(const testing::TestParamInfo<T>& info) const {
    return info.param.name;
  }
};

template <class T>
auto operator<<(std::ostream& out, const T& testCase) -> decltype(testCase.name, out) {
  return out << testCase.name;
}

}  // namespace NZARNTEST
