#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace NFUZZ {

// Takes the fuzzer's bytes one decision at a time. Past the end every
// decision reads as 0, so every input, however short, shapes something.
class TByteReader {
 public:
  TByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }

  // A number below count (count > 0).
  std::size_t Below(std::size_t count) { return Byte() % count; }

  std::uint32_t Word() {
    std::uint32_t word = 0;
    for (int i = 0; i < 4; ++i) word = (word << 8) | Byte();
    return word;
  }

  std::uint64_t Wide() { return (std::uint64_t(Word()) << 32) | Word(); }

  // Up to maxSize raw bytes, any values, zeros and invalid UTF-8 included.
  std::string Bytes(std::size_t maxSize) {
    std::string text(Below(maxSize + 1), '\0');
    for (char& c : text) c = static_cast<char>(Byte());
    return text;
  }

  template <class T, std::size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[Below(N)];
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_at = 0;
};

}  // namespace NFUZZ
