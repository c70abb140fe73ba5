#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>

namespace NZARN {

// What a child process wrote and how it ended.
struct TChildResult {
  std::string out;
  std::string err;
  int status = -1;       // its exit status; -1 when it did not end by exiting
  std::string abnormal;  // for -1, how it ended: "signal 9"
};

// Work for a child process of zarn. On POSIX systems the child is a copy of
// this process that calls run and exits with what it returns, so nothing
// is loaded twice; elsewhere it is zarn started again with args, which must
// do the same work.
struct TChildWork {
  std::function<int()> run;
  std::vector<std::string> args;
  bool keepInput = false;  // the child reads this process's stdin
};

// Whether this process ignores signal, as a shell has the commands it runs
// in the background do; such a signal stays ignored, here and in children.
bool IgnoresSignal(int signal);

// A child process whose stdout and stderr are read, on the thread that runs
// the context, until it has ended; done is then called, on that thread,
// with what it wrote. Its stdin is empty, unless the work keeps this
// process's.
class TChildProcess {
 public:
  using TDone = std::function<void(TChildResult)>;

  TChildProcess(boost::asio::io_context& context, const TChildWork& work, TDone done);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // Ends the child at once, if it still runs; done is not called then.
  void Kill();

 private:
  class TImpl;
  std::unique_ptr<TImpl> m_impl;
};

}  // namespace NZARN
