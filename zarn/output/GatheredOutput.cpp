#include "zarn/output/GatheredOutput.h"

#include <cstdio>
#include <iostream>

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
  m_out.rdbuf(m_target);
}

TGatheredOutput::int_type TGatheredOutput::overflow(int_type c) {
  if (!HandOn()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int TGatheredOutput::sync() { return HandOn() && m_target->pubsync() == 0 ? 0 : -1; }

bool TGatheredOutput::HandOn() {
  const std::streamsize gathered = pptr() - pbase();
  setp(m_buffer.get(), m_buffer.get() + kGathered);
  return m_target->sputn(m_buffer.get(), gathered) == gathered;
}

}  // namespace NZARN
