#include "zarn/process/ChildProcess.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <streambuf>
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
#include <sys/stat.h>
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

// A file in memory, with no name, that this process closes. It starts
// with the length of the text after it: a child writes its output there
// through a shared mapping (TSharedOutput), and that length says how much
// of it was flushed.
class TMemoryFile {
 public:
  using TLength = std::atomic<std::uint64_t>;
  static constexpr std::size_t kTextStart = sizeof(TLength);

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
  // What the child flushed. The length is the child's word, and a child
  // that crashed may have written anything there: no more is read than the
  // file holds.
  std::string Text() const {
    std::uint64_t length = 0;
    struct stat status = {};
    if (!ReadAt(&length, sizeof length, 0) || fstat(m_fd, &status) != 0) return std::string();
    const auto room = static_cast<std::uint64_t>(status.st_size) - kTextStart;
    std::string text(static_cast<std::size_t>(std::min(length, room)), '\0');
    if (!ReadAt(text.data(), text.size(), kTextStart)) return std::string();
    return text;
  }

 private:
  bool ReadAt(void* data, std::size_t size, off_t at) const {
    auto* const into = static_cast<char*>(data);
    for (std::size_t have = 0; have < size;) {
      const ssize_t read = pread(m_fd, into + have, size - have, at + static_cast<off_t>(have));
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) return false;
      have += static_cast<std::size_t>(read);
    }
    return true;
  }

  int m_fd;
};

// In the child, its output: written straight into the file in memory,
// through a shared mapping, so that a line costs no system call, yet each
// line is in the file as soon as it is flushed, and a crash loses none.
class TSharedOutput : public std::streambuf {
 public:
  explicit TSharedOutput(int fd) : m_fd(fd) {}
  ~TSharedOutput() override {
    if (m_data != nullptr) munmap(m_data, m_size);
  }
  TSharedOutput(const TSharedOutput&) = delete;
  TSharedOutput& operator=(const TSharedOutput&) = delete;

  bool Open() { return Grow(kFirstSize); }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    if (!Grow(m_size * 2)) return traits_type::eof();
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }
  int sync() override {
    Length().store(Written(), std::memory_order_release);
    return 0;
  }

 private:
  static constexpr std::size_t kFirstSize = std::size_t(64) << 10;

  TMemoryFile::TLength& Length() const { return *reinterpret_cast<TMemoryFile::TLength*>(m_data); }
  std::uint64_t Written() const {
    return m_data == nullptr ? 0 : static_cast<std::uint64_t>(pptr() - pbase());
  }

  // The file and its mapping made size bytes long, what was written kept.
  bool Grow(std::size_t size) {
    const std::uint64_t written = Written();
    if (ftruncate(m_fd, static_cast<off_t>(size)) != 0) return false;
    void* const data = m_data == nullptr
                           ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0)
                           : mremap(m_data, m_size, size, MREMAP_MAYMOVE);
    if (data == MAP_FAILED) return false;
    m_data = static_cast<char*>(data);
    m_size = size;
    setp(m_data + TMemoryFile::kTextStart, m_data + m_size);
    for (std::uint64_t left = written; left != 0;) {
      const int step = static_cast<int>(std::min<std::uint64_t>(left, INT_MAX));
      pbump(step);
      left -= static_cast<std::uint64_t>(step);
    }
    return true;
  }

  int m_fd;
  char* m_data = nullptr;
  std::size_t m_size = 0;
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
  // The file stays open above the standard streams, for the output to grow.
  // It is moved there only when it is one of them: the parent may have left
  // no descriptor free (it starts as many children as it has room for).
  const int shared =
      out.Descriptor() > 2 ? out.Descriptor() : fcntl(out.Descriptor(), F_DUPFD_CLOEXEC, 3);
  TSharedOutput output(shared);
  if (shared < 0 || !output.Open() || dup2(err.WriteEnd(), 2) < 0) _exit(127);
  std::cout.rdbuf(&output);
  // With the pipe's ends closed, the child has room for its own files. Its
  // stdout is left to nothing but std::cout.
  err.CloseEnds();
  const int empty = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (empty < 0 || dup2(empty, 1) < 0) _exit(127);
  if (!work.keepInput && dup2(empty, 0) < 0) _exit(127);
  if (empty > 2) close(empty);
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
