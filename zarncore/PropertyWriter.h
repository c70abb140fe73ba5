#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "host/CIMValue.h"
#include "host/ZARNException.h"

namespace NZARNCORE {

// Writes properties in the form an inventory stores them, one after
// another:
//   name     the interned name's number, as a varint
//   tag      one byte: the CIM type in the low four bits, the state above
//   payload  by state and type:
//            value:  boolean one byte; unsigned integers a varint; signed
//                    ones a zigzag varint; real32 and real64 their 4 or 8
//                    bytes; texts a varint length, then the bytes
//            null:   nothing
//            faults: the status as a zigzag varint
// The caller has checked that each value fits its type.
class TPropertyWriter {
 public:
  enum EState : unsigned { eValue = 0, eNull = 1, eLookupFault = 2, eValueFault = 3 };
  static constexpr unsigned kTypeBits = 0x0F;
  static constexpr unsigned kStateShift = 4;

  // Forgets the properties written; a buffer grown for a huge one is let go.
  void Clear() {
    m_size = 0;
    m_faults = 0;
    if (m_capacity > kKeptCapacity) {
      m_bytes.reset();
      m_capacity = 0;
    }
  }
  const unsigned char* Data() const { return m_bytes.get(); }
  std::size_t Size() const { return m_size; }
  std::size_t Faults() const { return m_faults; }

  void Text(std::uint32_t name, NQELZARN20::ECIMType type, std::string_view text) {
    unsigned char* out = Header(name, type, eValue, VarintSize(text.size()) + text.size());
    out = PutVarint(out, text.size());
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
  }
  // A text that comes in parts: BeginText, AppendText for each part, then
  // EndText, which gives the whole text.
  void BeginText(std::uint32_t name, NQELZARN20::ECIMType type) {
    // The length goes before the text once it is known; room for the
    // longest is kept, and closed up at the end.
    m_textStart = static_cast<std::size_t>(Header(name, type, eValue, kMaxVarint) - Data());
  }
  void AppendText(std::string_view part) {
    Reserve(m_size + part.size());
    std::memcpy(m_bytes.get() + m_size, part.data(), part.size());
    m_size += part.size();
  }
  std::string_view EndText() {
    const std::size_t text = m_textStart + kMaxVarint;
    const std::size_t length = m_size - text;
    unsigned char* const start = m_bytes.get() + m_textStart;
    unsigned char* const moved = PutVarint(start, length);
    std::memmove(moved, start + kMaxVarint, length);
    m_size = static_cast<std::size_t>(moved - m_bytes.get()) + length;
    return std::string_view(reinterpret_cast<const char*>(moved), length);
  }
  void Unsigned(std::uint32_t name, NQELZARN20::ECIMType type, std::uint64_t number) {
    PutVarint(Header(name, type, eValue, VarintSize(number)), number);
  }
  void Signed(std::uint32_t name, NQELZARN20::ECIMType type, std::int64_t number) {
    Unsigned(name, type, ZigZag(number));
  }
  void Real(std::uint32_t name, NQELZARN20::ECIMType type, double number) {
    if (type == NQELZARN20::eCIMTypeReal32) {
      const float single = static_cast<float>(number);
      std::memcpy(Header(name, type, eValue, sizeof single), &single, sizeof single);
    } else {
      std::memcpy(Header(name, type, eValue, sizeof number), &number, sizeof number);
    }
  }
  void Boolean(std::uint32_t name, bool flag) {
    *Header(name, NQELZARN20::eCIMTypeBoolean, eValue, 1) = flag ? 1 : 0;
  }
  void Null(std::uint32_t name, NQELZARN20::ECIMType type) { Header(name, type, eNull, 0); }
  void Fault(std::uint32_t name, EState where, NQELZARN20::TZARNStatusCode status) {
    const std::uint64_t code = ZigZag(status);
    PutVarint(Header(name, NQELZARN20::ECIMType(), where, VarintSize(code)), code);
    ++m_faults;
  }

  static std::size_t VarintSize(std::uint64_t number) {
    std::size_t size = 1;
    while (number >= 0x80) {
      number >>= 7;
      ++size;
    }
    return size;
  }
  static unsigned char* PutVarint(unsigned char* out, std::uint64_t number) {
    while (number >= 0x80) {
      *out++ = static_cast<unsigned char>(number | 0x80);
      number >>= 7;
    }
    *out++ = static_cast<unsigned char>(number);
    return out;
  }
  static std::uint64_t ZigZag(std::int64_t number) {
    return (static_cast<std::uint64_t>(number) << 1) ^ static_cast<std::uint64_t>(number >> 63);
  }

 private:
  static constexpr std::size_t kMaxVarint = 10;
  static constexpr std::size_t kKeptCapacity = std::size_t(1) << 20;

  struct TFree {
    void operator()(unsigned char* bytes) const { std::free(bytes); }
  };

  unsigned char* Header(std::uint32_t name, NQELZARN20::ECIMType type, EState state,
                        std::size_t payload) {
    // A name and a tag take at most six bytes.
    Reserve(m_size + 6 + payload);
    unsigned char* out = PutVarint(m_bytes.get() + m_size, name);
    *out++ = static_cast<unsigned char>(type | (state << kStateShift));
    m_size = static_cast<std::size_t>(out - m_bytes.get()) + payload;
    return out;
  }
  // Grown with realloc, which moves a huge buffer by remapping its pages
  // rather than by copying them, so a huge text costs its size once here.
  void Reserve(std::size_t needed) {
    if (needed <= m_capacity) return;
    const std::size_t capacity = std::max(needed, m_capacity * 2);
    void* const grown = std::realloc(m_bytes.get(), capacity);
    if (grown == nullptr) throw std::bad_alloc();
    static_cast<void>(m_bytes.release());
    m_bytes.reset(static_cast<unsigned char*>(grown));
    m_capacity = capacity;
  }

  std::unique_ptr<unsigned char, TFree> m_bytes;
  std::size_t m_capacity = 0;
  std::size_t m_size = 0;
  std::size_t m_faults = 0;
  std::size_t m_textStart = 0;
};

}  // namespace NZARNCORE
