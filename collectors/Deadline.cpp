#include "collectors/Deadline.h"

#include <algorithm>
#include <utility>

#include "collectors/SourceError.h"

namespace NZARNCOLLECT {

namespace {

std::chrono::milliseconds Until(TDeadline::TClock::time_point end) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(end - TDeadline::TClock::now());
}

}  // namespace

std::chrono::milliseconds TDeadline::For(std::chrono::milliseconds own) const {
  if (!m_end) return own;
  return std::max(std::chrono::milliseconds(1), std::min(own, Until(*m_end)));
}

TDeadline TDeadline::ForSource(std::string source, std::chrono::milliseconds own) const {
  const std::chrono::milliseconds limit = For(own);
  TDeadline deadline(TClock::now() + limit);
  deadline.m_source = std::move(source);
  deadline.m_limit = limit;
  return deadline;
}

unsigned long TDeadline::RemainingMs() const {
  const std::chrono::milliseconds left = Until(m_end.value_or(TClock::now()));
  if (left.count() <= 0) {
    throw TSourceError("timed out: " + m_source + " did not answer within " + LimitText(m_limit));
  }
  return static_cast<unsigned long>(left.count());
}

std::string LimitText(std::chrono::milliseconds limit) {
  const auto count = limit.count();
  if (count % 1000 == 0) return std::to_string(count / 1000) + " s";
  return std::to_string(count) + " ms";
}

}  // namespace NZARNCOLLECT
