#include "zarn/output/GatheredOutput.h"

#include <cstdio>
#include <iostream>
#include <system_error>

#include "zarn/output/Terminal.h"

namespace NZARN {

namespace {

constexpr std::size_t kGathered = std::size_t(1) << 20;

}  // namespace

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
  if (m_writer != nullptr) m_writer->Wait();
  const std::streamsize gathered = pptr() - pbase();
  setp(m_buffer.get(), m_buffer.get() + kGathered);
  return m_target->sputn(m_buffer.get(), gathered) == gathered && m_written;
}

bool TGatheredOutput::PassOn() {
  if (m_writer == nullptr) {
    try {
      m_passed.reset(new char[kGathered]);
      m_writer = std::make_unique<TWorkerThread>();
    } catch (const std::system_error&) {
      // No thread to spare: each is written here.
      return HandOn();
    }
  }
  m_writer->Wait();
  // Read before the next write is handed on, which may change it.
  const bool written = m_written;
  const std::streamsize gathered = pptr() - pbase();
  m_buffer.swap(m_passed);
  m_writer->Hand([this, gathered] {
    if (m_target->sputn(m_passed.get(), gathered) != gathered) m_written = false;
  });
  setp(m_buffer.get(), m_buffer.get() + kGathered);
  return written;
}

}  // namespace NZARN
