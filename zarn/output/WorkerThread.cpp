#include "zarn/output/WorkerThread.h"

#include <utility>

namespace NZARN {

TWorkerThread::TWorkerThread() : m_thread([this] { Work(); }) {}

TWorkerThread::~TWorkerThread() {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void TWorkerThread::Wait() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [this] { return !m_job; });
  if (m_failure) std::rethrow_exception(std::exchange(m_failure, nullptr));
}

void TWorkerThread::Hand(std::function<void()> job) {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_job = std::move(job);
  }
  m_changed.notify_all();
}

void TWorkerThread::Work() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_stop || m_job; });
    if (!m_job) return;
    lock.unlock();
    std::exception_ptr failure;
    try {
      m_job();
    } catch (...) {
      // Not swallowed: Wait throws it again where the job was handed on.
      failure = std::current_exception();
    }
    lock.lock();
    m_failure = failure;
    m_job = nullptr;
    m_changed.notify_all();
  }
}

}  // namespace NZARN
