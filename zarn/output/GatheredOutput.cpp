#include "zarn/output/GatheredOutput.h"

#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <system_error>
#include <thread>

#include "zarn/output/Terminal.h"

namespace NZARN {

namespace {

constexpr std::size_t kGathered = std::size_t(1) << 20;

}  // namespace

// Writes one buffer at a time to the stream's own buffer.
class TGatheredOutput::TWriter {
 public:
  explicit TWriter(std::streambuf& target) : m_target(target), m_thread([this] { Work(); }) {}
  ~TWriter() {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
  }
  TWriter(const TWriter&) = delete;
  TWriter& operator=(const TWriter&) = delete;

  // Waits for the write asked for last; whether every write so far wrote
  // all it was given.
  bool Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_size == 0; });
    return m_written;
  }
  // After Wait.
  void Write(const char* data, std::streamsize size) {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_data = data;
      m_size = size;
    }
    m_changed.notify_all();
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      m_changed.wait(lock, [this] { return m_stop || m_size != 0; });
      if (m_size == 0) return;
      lock.unlock();
      const bool written = m_target.sputn(m_data, m_size) == m_size;
      lock.lock();
      m_written = m_written && written;
      m_size = 0;
      m_changed.notify_all();
    }
  }

  std::streambuf& m_target;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  const char* m_data = nullptr;
  std::streamsize m_size = 0;  // of the write asked for; 0 once done
  bool m_written = true;
  bool m_stop = false;
  std::thread m_thread;  // last, so that it starts with the rest in place
};

TGatheredOutput::TGatheredOutput(std::ostream& out) : m_out(out) {
  if (&out == &std::cout && IsTerminal(stdout)) return;
  m_buffer.reset(new char[kGathered]);
  setp(m_buffer.get(), m_buffer.get() + kGathered);
  m_target = out.rdbuf(this);
}

TGatheredOutput::~TGatheredOutput() {
  if (m_target == nullptr) return;
  HandOn();
  m_writer.reset();
  m_out.rdbuf(m_target);
}

TGatheredOutput::int_type TGatheredOutput::overflow(int_type c) {
  if (!PassOn()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int TGatheredOutput::sync() { return HandOn() && m_target->pubsync() == 0 ? 0 : -1; }

bool TGatheredOutput::HandOn() {
  const bool before = m_writer == nullptr || m_writer->Wait();
  const std::streamsize gathered = pptr() - pbase();
  setp(m_buffer.get(), m_buffer.get() + kGathered);
  return m_target->sputn(m_buffer.get(), gathered) == gathered && before;
}

bool TGatheredOutput::PassOn() {
  if (m_writer == nullptr) {
    try {
      m_passed.reset(new char[kGathered]);
      m_writer = std::make_unique<TWriter>(*m_target);
    } catch (const std::system_error&) {
      // No thread to spare: each is written here.
      return HandOn();
    }
  }
  const bool before = m_writer->Wait();
  const std::streamsize gathered = pptr() - pbase();
  m_buffer.swap(m_passed);
  m_writer->Write(m_passed.get(), gathered);
  setp(m_buffer.get(), m_buffer.get() + kGathered);
  return before;
}

}  // namespace NZARN
