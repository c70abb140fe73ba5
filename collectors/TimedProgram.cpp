#include "collectors/TimedProgram.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <system_error>
#include <utility>

#include <boost/asio/buffer.hpp>
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

// Reads a pipe to its end in the background. Past limit bytes it calls
// full, when given, and stops; without it, it keeps the first limit bytes
// and reads on, so that the program is never held up writing.
class TPipeReader {
 public:
  TPipeReader(bp::async_pipe& pipe, std::size_t limit, std::function<void()> full = nullptr)
      : m_pipe(pipe), m_limit(limit), m_full(std::move(full)) {
    ReadMore();
  }

  const std::string& Text() const { return m_text; }
  bool Overflowed() const { return m_overflowed; }

 private:
  void ReadMore() {
    m_pipe.async_read_some(boost::asio::buffer(m_buffer),
                           [this](const boost::system::error_code& error, std::size_t size) {
                             Keep(size);
                             if (m_overflowed && m_full) return m_full();
                             if (!error) ReadMore();
                           });
  }

  void Keep(std::size_t size) {
    const std::size_t room = m_limit - m_text.size();
    m_overflowed = m_overflowed || size > room;
    m_text.append(m_buffer.data(), std::min(size, room));
  }

  bp::async_pipe& m_pipe;
  std::size_t m_limit;
  std::function<void()> m_full;
  std::array<char, 65536> m_buffer;
  std::string m_text;
  bool m_overflowed = false;
};

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
  const TPipeReader output(out, kOutputLimit, [&context] { context.stop(); });
  const TPipeReader errors(err, kErrorLimit);
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

std::string LimitText(std::chrono::milliseconds limit) {
  const auto count = limit.count();
  if (count % 1000 == 0) return std::to_string(count / 1000) + " s";
  return std::to_string(count) + " ms";
}

std::chrono::milliseconds TTimeBudget::For(std::chrono::milliseconds own) const {
  if (!m_end) return own;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*m_end - TClock::now());
  return std::max(std::chrono::milliseconds(1), std::min(own, left));
}

}  // namespace NZARNCOLLECT
