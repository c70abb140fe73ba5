#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <utility>

#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>

namespace NZARNCOLLECT {

// Reads what a child process writes to a pipe, to its end, in the
// background of the thread that runs the pipe's context, keeping the first
// limit bytes. Past them it calls full, when given, and stops; without it,
// it reads on and drops the rest, so that the child is never held up
// writing. At the end it calls ended, when given; a read aborted because
// the child was ended calls nothing, as the pipe may be gone.
template <class TPipe>
class TPipeReader {
 public:
  static constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

  TPipeReader(TPipe& pipe, std::size_t limit, std::function<void()> ended = nullptr,
              std::function<void()> full = nullptr)
      : m_pipe(pipe), m_limit(limit), m_ended(std::move(ended)), m_full(std::move(full)) {}
  TPipeReader(const TPipeReader&) = delete;
  TPipeReader& operator=(const TPipeReader&) = delete;

  void Start() {
    m_pipe.async_read_some(boost::asio::buffer(m_buffer),
                           [this](const boost::system::error_code& error, std::size_t size) {
                             if (error == boost::asio::error::operation_aborted) return;
                             Keep(size);
                             if (m_overflowed && m_full) return m_full();
                             if (!error) return Start();
                             if (m_ended) m_ended();
                           });
  }

  const std::string& Text() const { return m_text; }
  std::string TakeText() { return std::move(m_text); }
  bool Overflowed() const { return m_overflowed; }

 private:
  void Keep(std::size_t size) {
    const std::size_t room = m_limit - m_text.size();
    m_overflowed = m_overflowed || size > room;
    m_text.append(m_buffer.data(), std::min(size, room));
  }

  TPipe& m_pipe;
  std::size_t m_limit;
  std::function<void()> m_ended;
  std::function<void()> m_full;
  std::array<char, 65536> m_buffer;
  std::string m_text;
  bool m_overflowed = false;
};

}  // namespace NZARNCOLLECT
