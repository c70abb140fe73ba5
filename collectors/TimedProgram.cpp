#include "collectors/TimedProgram.h"

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <utility>

#include <boost/asio/io_context.hpp>
#include <boost/process/args.hpp>
#include <boost/process/async.hpp>
#include <boost/process/async_pipe.hpp>
#include <boost/process/child.hpp>
#include <boost/process/env.hpp>
#include <boost/process/extend.hpp>
#include <boost/process/group.hpp>
#include <boost/process/io.hpp>
#include <boost/process/search_path.hpp>

#include "collectors/PipeReader.h"
#include "collectors/SourceError.h"

#if defined(__linux__)
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#endif

namespace NZARNCOLLECT {

namespace bp = boost::process;

namespace {

constexpr std::size_t kOutputLimit = std::size_t{64} << 20;
constexpr std::size_t kErrorLimit = 4096;

// A program may warn before it fails: the error is the line that says so,
// or else the last one.
std::string ErrorLine(const std::string& text) {
  std::string last;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    const std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    if (line.compare(0, 6, "error:") == 0) return ": " + line;
    if (line.find_first_not_of(" \t\r") != std::string::npos) last = line;
  }
  return last.empty() ? last : ": " + last;
}

#if defined(__linux__)
// The program is killed when this process ends before it, whatever ends
// it: a zarn check out of time is ended at once, and must not leave the
// program running.
class TDieWithParent : public bp::extend::handler {
 public:
  TDieWithParent() : m_parent(getpid()) {}

  template <class TExecutor>
  void on_exec_setup(TExecutor&) const {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != m_parent) _exit(127);
  }

 private:
  pid_t m_parent;
};
#else
// Elsewhere no program is run while a time limit can end this process.
class TDieWithParent : public bp::extend::handler {};
#endif

}  // namespace

std::string RunProgram(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds limit) {
  const auto path = bp::search_path(program);
  if (path.empty()) throw TSourceError("program missing: " + program + " is not on PATH");
  boost::asio::io_context context;
  bp::async_pipe out(context);
  bp::async_pipe err(context);
  bp::group group;
  int status = 0;
  std::error_code startError;
  bp::child child(path, bp::args(args), (bp::std_in < bp::null), (bp::std_out > out),
                  (bp::std_err > err), bp::env["LC_ALL"] = "C", group, context, startError,
                  TDieWithParent(),
                  bp::on_exit([&status](int code, const std::error_code&) { status = code; }));
  if (startError) throw TSourceError(program + " could not be started: " + startError.message());
  TPipeReader<bp::async_pipe> output(out, kOutputLimit, nullptr, [&context] { context.stop(); });
  TPipeReader<bp::async_pipe> errors(err, kErrorLimit);
  output.Start();
  errors.Start();
  context.run_for(limit);
  if (output.Overflowed()) throw TSourceError(program + " wrote more than 64 MiB");
  if (!context.stopped()) {
    throw TSourceError("timed out: " + program + " did not finish within " + LimitText(limit));
  }
  if (status != 0) {
    throw TSourceError(program + " ended with status " + std::to_string(status) +
                       ErrorLine(errors.Text()));
  }
  return output.Text();
}

}  // namespace NZARNCOLLECT
