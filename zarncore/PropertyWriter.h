#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

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

  void Clear() {
    m_size = 0;
    m_faults = 0;
  }
  const unsigned char* Data() const { return m_bytes.data(); }
  std::size_t Size() const { return m_size; }
  std::size_t Faults() const { return m_faults; }

  void Text(std::uint32_t name, NQELZARN20::ECIMType type, std::string_view text) {
    unsigned char* out = Header(name, type, eValue, VarintSize(text.size()) + text.size());
    out = PutVarint(out, text.size());
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
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
  unsigned char* Header(std::uint32_t name, NQELZARN20::ECIMType type, EState state,
                        std::size_t payload) {
    // A name and a tag take at most six bytes.
    const std::size_t needed = m_size + 6 + payload;
    if (needed > m_bytes.size()) m_bytes.resize(needed * 2);
    unsigned char* out = PutVarint(m_bytes.data() + m_size, name);
    *out++ = static_cast<unsigned char>(type | (state << kStateShift));
    m_size = static_cast<std::size_t>(out - m_bytes.data()) + payload;
    return out;
  }

  std::vector<unsigned char> m_bytes;
  std::size_t m_size = 0;
  std::size_t m_faults = 0;
};

}  // namespace NZARNCORE
