#include "zarn/process/ChildProcess.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <boost/asio/post.hpp>

#if defined(_WIN32)
#include <boost/dll/runtime_symbol_info.hpp>
#include <boost/process/args.hpp>
#include <boost/process/async_pipe.hpp>
#include <boost/process/child.hpp>
#include <boost/process/io.hpp>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <boost/asio/posix/stream_descriptor.hpp>
#endif

#include "collectors/PipeReader.h"

namespace NZARN {

namespace {

// The part every system shares: the streams that are pipes read to their
// ends, then the child reaped (which gives what it wrote elsewhere) and
// done posted, so that done may destroy the child object.
template <class TStream, class TSystemPart>
class TReadChild : public TSystemPart {
  using TReader = NZARNCOLLECT::TPipeReader<TStream>;

 public:
  template <class... TArgs>
  TReadChild(boost::asio::io_context& context, TChildProcess::TDone done, TArgs&&... args)
      : TSystemPart(context, std::forward<TArgs>(args)...),
        m_context(context),
        m_done(std::move(done)),
        m_err(this->ErrStream(), TReader::kNoLimit, [this] { OneEnded(); }) {
    if constexpr (TSystemPart::kOutPiped) {
      m_out.emplace(this->OutStream(), TReader::kNoLimit, [this] { OneEnded(); });
      m_out->Start();
    }
    m_err.Start();
  }

 private:
  void OneEnded() {
    if (--m_open != 0) return;
    if (m_out) m_result.out = m_out->TakeText();
    m_result.err = m_err.TakeText();
    this->Reap(m_result);
    boost::asio::post(m_context, [done = m_done, result = std::move(m_result)]() mutable {
      done(std::move(result));
    });
  }

  boost::asio::io_context& m_context;
  TChildProcess::TDone m_done;
  TChildResult m_result;
  int m_open = TSystemPart::kOutPiped ? 2 : 1;
  std::optional<TReader> m_out;
  TReader m_err;
};

#if defined(_WIN32)

namespace bp = boost::process;

// A Windows program's text output ends its lines with "\r\n"; this
// process writes its own line ends again.
std::string FromTextMode(std::string text) {
  std::string::size_type at = 0;
  while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
  return text;
}

// zarn started again, with pipes for its output.
class TWindowsPart {
 public:
  static constexpr bool kOutPiped = true;

  TWindowsPart(boost::asio::io_context& context, const TChildWork& work)
      : m_outPipe(context), m_errPipe(context), m_child(Start(work)) {}

  bp::async_pipe& OutStream() { return m_outPipe; }
  bp::async_pipe& ErrStream() { return m_errPipe; }

  void Reap(TChildResult& result) {
    result.out = FromTextMode(std::move(result.out));
    result.err = FromTextMode(std::move(result.err));
    m_child.wait();
    const int code = m_child.exit_code();
    if (code >= 0 && code <= 255) {
      result.status = code;
      return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "exception 0x%08X", static_cast<unsigned>(code));
    result.abnormal = text;
  }

  void Kill() {
    std::error_code ignored;
    m_child.terminate(ignored);
    m_outPipe.close();
    m_errPipe.close();
  }

 private:
  bp::child Start(const TChildWork& work) {
    if (work.keepInput) {
      return bp::child(boost::dll::program_location(), bp::args(work.args),
                       bp::std_in<stdin, bp::std_out> m_outPipe, bp::std_err > m_errPipe);
    }
    return bp::child(boost::dll::program_location(), bp::args(work.args),
                     bp::std_in<bp::null, bp::std_out> m_outPipe, bp::std_err > m_errPipe);
  }

  bp::async_pipe m_outPipe;
  bp::async_pipe m_errPipe;
  bp::child m_child;
};

using TSystemChild = TReadChild<bp::async_pipe, TWindowsPart>;

#else

using TDescriptor = boost::asio::posix::stream_descriptor;

[[noreturn]] void ThrowSystemError(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// A pipe whose ends this process closes unless a stream takes the reading
// one.
class TPipe {
 public:
  TPipe() {
    if (pipe2(m_ends, O_CLOEXEC) != 0) ThrowSystemError("cannot make a pipe");
  }
  ~TPipe() {
    if (m_ends[0] >= 0) close(m_ends[0]);
    close(m_ends[1]);
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;

  int WriteEnd() const { return m_ends[1]; }
  // In the child, once its stream is in place; an end this process got as
  // 0, 1 or 2 (its own was closed) is a standard stream of the child by now.
  void CloseEnds() const {
    for (const int end : m_ends) {
      if (end > 2) close(end);
    }
  }
  void GiveReadEnd(TDescriptor& stream) {
    stream.assign(m_ends[0]);
    m_ends[0] = -1;
  }

 private:
  int m_ends[2];
};

// A file in memory, with no name, that this process closes.
class TMemoryFile {
 public:
  TMemoryFile() : m_fd(memfd_create("zarn-child-output", MFD_CLOEXEC)) {
    if (m_fd < 0) ThrowSystemError("cannot make a file for a child's output");
  }
  ~TMemoryFile() { Close(); }
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;

  int Descriptor() const { return m_fd; }
  void Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
  }
  // Everything written to it.
  std::string Text() const {
    std::string text;
    char buffer[65536];
    for (off_t at = 0;;) {
      const ssize_t read = pread(m_fd, buffer, sizeof buffer, at);
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) return text;
      text.append(buffer, static_cast<std::size_t>(read));
      at += read;
    }
  }

 private:
  int m_fd;
};

// In the child: the signals this process caught take their default action
// again (those it ignores stay ignored), its output goes to the file and
// the pipe, and it never returns to the parent's code, whose objects belong
// to the parent.
[[noreturn]] void RunInChild(const TChildWork& work, const TMemoryFile& out, const TPipe& err) {
  for (const int signal : {SIGINT, SIGTERM}) {
    if (!IgnoresSignal(signal)) std::signal(signal, SIG_DFL);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (dup2(out.Descriptor(), 1) < 0 || dup2(err.WriteEnd(), 2) < 0) _exit(127);
  // However many descriptors this process held (it starts no more children
  // than it has room for), the child then has room for its own files.
  if (out.Descriptor() > 2) close(out.Descriptor());
  err.CloseEnds();
  if (!work.keepInput) {
    const int empty = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (empty < 0 || dup2(empty, 0) < 0) _exit(127);
  }
  int status = 3;
  try {
    status = work.run();
  } catch (...) {
  }
  std::cout.flush();
  std::cerr.flush();
  _exit(status);
}

// A copy of this process. Its output goes to a file in memory, read once
// it has ended: each line it writes leaves it at once, so that a crash
// loses none, yet wakes nobody; through a pipe, this process woke to read
// every line, which cost more than many a small inventory's analysis. Its
// messages, a few lines, come through a pipe, whose end tells that the
// child is ending.
class TPosixPart {
 public:
  static constexpr bool kOutPiped = false;

  TPosixPart(boost::asio::io_context& context, const TChildWork& work) : m_errStream(context) {
    TPipe err;
    // The child starts with nothing of the parent's left to write.
    std::cout.flush();
    std::cerr.flush();
    m_pid = fork();
    if (m_pid == 0) RunInChild(work, m_out, err);
    if (m_pid < 0) ThrowSystemError("cannot start a child process");
    err.GiveReadEnd(m_errStream);
  }

  TDescriptor& ErrStream() { return m_errStream; }

  // Its stderr is closed, so the child is ending.
  void Reap(TChildResult& result) {
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    result.out = m_out.Text();
    m_out.Close();
    if (WIFEXITED(status)) {
      result.status = WEXITSTATUS(status);
    } else {
      result.abnormal = "signal " + std::to_string(WTERMSIG(status));
    }
  }

  // Left for the system to reap: a child stuck in the kernel could hold
  // this process up.
  void Kill() {
    if (m_pid > 0) kill(m_pid, SIGKILL);
    m_pid = -1;
    boost::system::error_code ignored;
    m_out.Close();
    m_errStream.close(ignored);
  }

 private:
  pid_t m_pid = -1;
  TMemoryFile m_out;
  TDescriptor m_errStream;
};

using TSystemChild = TReadChild<TDescriptor, TPosixPart>;

#endif

}  // namespace

bool IgnoresSignal([[maybe_unused]] int signal) {
#if defined(_WIN32)
  return false;
#else
  struct sigaction current = {};
  return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
#endif
}

class TChildProcess::TImpl : public TSystemChild {
 public:
  using TSystemChild::TSystemChild;
};

TChildProcess::TChildProcess(boost::asio::io_context& context, const TChildWork& work, TDone done)
    : m_impl(std::make_unique<TImpl>(context, std::move(done), work)) {}

TChildProcess::~TChildProcess() = default;

void TChildProcess::Kill() { m_impl->Kill(); }

}  // namespace NZARN
