#include "zarncore/LibraryImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace NZARNCORE {
namespace {

// A file read at offsets; what lies past its end reads as absent.
class TImage {
 public:
  explicit TImage(const std::string& path) : m_in(path, std::ios::binary | std::ios::ate) {
    m_size = m_in ? static_cast<std::uint64_t>(m_in.tellg()) : 0;
  }

  std::uint64_t Size() const { return m_size; }

  // The little-endian number of `bytes` bytes at offset, if the file holds it.
  std::optional<std::uint64_t> Number(std::uint64_t offset, unsigned bytes) {
    unsigned char raw[8] = {};
    if (offset > m_size || bytes > m_size - offset) return std::nullopt;
    m_in.seekg(static_cast<std::streamoff>(offset));
    if (!m_in.read(reinterpret_cast<char*>(raw), bytes)) return std::nullopt;
    std::uint64_t number = 0;
    for (unsigned i = bytes; i > 0; --i) number = (number << 8) | raw[i - 1];
    return number;
  }

 private:
  std::ifstream m_in;
  std::uint64_t m_size = 0;
};

// The end of the furthest part the headers name; parts too far out to add
// up count as the largest end there is.
class TExtent {
 public:
  void Add(std::uint64_t offset, std::uint64_t length) {
    m_end = std::max(m_end, length > UINT64_MAX - offset ? UINT64_MAX : offset + length);
  }
  std::uint64_t End() const { return m_end; }

 private:
  std::uint64_t m_end = 0;
};

// Tables of count entries of a size, each entry adding its part.
template <class TEntry>
bool AddTable(TImage& image, TExtent& extent, std::uint64_t offset, std::uint64_t count,
              std::uint64_t size, TEntry entry) {
  extent.Add(offset, count * size);
  if (extent.End() > image.Size()) return false;
  for (std::uint64_t i = 0; i < count; ++i)
    if (!entry(offset + i * size)) return false;
  return true;
}

// A 64-bit little-endian ELF file: the program and section header tables,
// every segment's bytes in the file and every section that has any.
TExtent ElfExtent(TImage& image) {
  const std::uint64_t kNoBits = 8;
  TExtent extent;
  const auto segment = [&](std::uint64_t at) {
    const auto offset = image.Number(at + 8, 8), size = image.Number(at + 32, 8);
    if (offset && size) extent.Add(*offset, *size);
    return offset && size;
  };
  const auto section = [&](std::uint64_t at) {
    const auto type = image.Number(at + 4, 4), offset = image.Number(at + 24, 8),
               size = image.Number(at + 32, 8);
    if (type && offset && size && *type != kNoBits) extent.Add(*offset, *size);
    return type && offset && size;
  };
  const auto phoff = image.Number(32, 8), shoff = image.Number(40, 8);
  const auto phentsize = image.Number(54, 2), phnum = image.Number(56, 2),
             shentsize = image.Number(58, 2), shnum = image.Number(60, 2);
  if (!phoff || !shoff || !phentsize || !phnum || !shentsize || !shnum) {
    extent.Add(0, 64);
    return extent;
  }
  if (AddTable(image, extent, *phoff, *phnum, *phentsize, segment) && *shnum != 0)
    AddTable(image, extent, *shoff, *shnum, *shentsize, section);
  return extent;
}

// A PE file: its headers, then every section's raw bytes.
TExtent PeExtent(TImage& image) {
  TExtent extent;
  const auto header = image.Number(0x3C, 4);
  const auto sections = header ? image.Number(*header + 6, 2) : std::nullopt;
  const auto optional = header ? image.Number(*header + 20, 2) : std::nullopt;
  if (!header || !sections || !optional) {
    extent.Add(0, header ? *header + 24 : 0x40);
    return extent;
  }
  AddTable(image, extent, *header + 24 + *optional, *sections, 40, [&](std::uint64_t at) {
    const auto size = image.Number(at + 16, 4), offset = image.Number(at + 20, 4);
    if (size && offset && *size != 0) extent.Add(*offset, *size);
    return size && offset;
  });
  return extent;
}

bool Starts(TImage& image, const char* magic, unsigned bytes) {
  std::uint64_t expected = 0;
  for (unsigned i = bytes; i > 0; --i)
    expected = (expected << 8) | static_cast<unsigned char>(magic[i - 1]);
  return image.Number(0, bytes) == expected;
}

}  // namespace

std::optional<std::string> CutShortLibrary(const std::string& path) {
  TImage image(path);
  TExtent extent;
  // ELF, 64-bit, little-endian; or MZ.
  if (Starts(image,
             "\x7F"
             "ELF\x02\x01",
             6)) {
    extent = ElfExtent(image);
  } else if (Starts(image, "MZ", 2)) {
    extent = PeExtent(image);
  } else {
    return std::nullopt;
  }
  if (extent.End() <= image.Size()) return std::nullopt;
  return "the file is cut short: its headers describe " +
         (extent.End() == UINT64_MAX ? std::string("more bytes than a file can hold")
                                     : std::to_string(extent.End()) + " bytes") +
         ", it holds " + std::to_string(image.Size());
}

}  // namespace NZARNCORE
