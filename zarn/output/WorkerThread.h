#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace NZARN {

// Runs the jobs it is handed on a thread of its own, one at a time, while
// the thread that hands them goes on: the system's copying of a large
// output, or its formatting, holds up no analysis. What a job throws is
// thrown again by the Wait after it, on the thread that waits.
class TWorkerThread {
 public:
  TWorkerThread();
  // Lets the job in hand end first.
  ~TWorkerThread();
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;

  // Waits for the job handed last.
  void Wait();
  // After Wait; what the job reads must stay as it is until the next Wait
  // returns.
  void Hand(std::function<void()> job);

 private:
  void Work();

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::function<void()> m_job;  // empty once done
  std::exception_ptr m_failure;
  bool m_stop = false;
  std::thread m_thread;  // last, so that it starts with the rest in place
};

}  // namespace NZARN
