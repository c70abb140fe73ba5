#include "ZarnRun.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include <boost/asio/io_context.hpp>
#include <boost/process.hpp>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace NZARNTEST {

namespace {

namespace bp = boost::process;

// What a text stream reads: Windows programs end their lines with "\r\n".
std::string AsText(std::string output) {
#if defined(_WIN32)
  std::string::size_type at = 0;
  while ((at = output.find("\r\n", at)) != std::string::npos) output.erase(at, 1);
#endif
  return output;
}

int ExitStatus(const bp::child& child) {
#if defined(_WIN32)
  // A program that crashed ends with an exception code, not an exit status.
  const int code = child.exit_code();
  return code >= 0 && code <= 255 ? code : -1;
#else
  const int status = child.native_exit_code();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

template <class... TRedirections>
TRunResult Run(const std::string& program, const std::vector<std::string>& args,
               const std::string& input, TRedirections&&... redirections) {
  boost::asio::io_context io;
  std::future<std::string> out;
  std::future<std::string> err;
  bp::child child(program, bp::args(args), bp::std_in<boost::asio::buffer(input), bp::std_out> out,
                  bp::std_err > err, bp::start_dir(SOURCE_DIR), io,
                  std::forward<TRedirections>(redirections)...);
  io.run();
  child.wait();
  return TRunResult{AsText(out.get()), AsText(err.get()), ExitStatus(child)};
}

}  // namespace

TRunResult RunZarn(const std::vector<std::string>& args, const std::string& input) {
  return Run(ZARN_PATH, args, input);
}

#if !defined(_WIN32)
TRunResult RunShell(const std::string& script) {
  const char* inherited = std::getenv("PATH");
  const std::string path = std::filesystem::path(ZARN_PATH).parent_path().string() + ":" +
                           (inherited ? inherited : "/usr/bin:/bin");
  return Run("/bin/sh", {"-c", "exec 2>&1\n" + script}, std::string(), bp::env["PATH"] = path);
}
#endif

std::string ReadFile(const std::string& path) {
  std::ifstream file(std::filesystem::path(SOURCE_DIR) / path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace NZARNTEST
