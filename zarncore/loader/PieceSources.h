#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "zarncore/InventoryLoader.h"

namespace NZARNCORE {

// The text is handed to the parser this much at a time.
constexpr std::size_t kPieceSize = std::size_t(1) << 20;

// Where the text comes from, a piece at a time.
class IPieceSource {
 public:
  virtual ~IPieceSource() = default;
  // The next piece, valid until the next call; empty at the end. Throws
  // TInventoryError when the source cannot be read.
  virtual std::string_view Next() = 0;
  // Throws TInventoryError where what was read is not what the source held
  // when it was opened, so that an error in it is not blamed on its text.
  virtual void CheckUnchanged() const {}
  // The whole text before the piece handed out last, where the source
  // still holds it: the place of an error is then found there, and the
  // text need not be followed as it is read.
  virtual std::optional<std::string_view> Before() const { return std::nullopt; }
};

// Reads an open file a piece at a time, waiting on a pipe that whoever
// made it left non-blocking.
class TFileSource : public IPieceSource {
 public:
  TFileSource(std::FILE* file, const std::string& path);
  std::string_view Next() override;

 private:
  std::FILE* m_file;
  const std::string& m_path;
  std::unique_ptr<char[]> m_buffer;
};

// Hands out a text in pieces, as a file would come.
class TTextSource : public IPieceSource {
 public:
  explicit TTextSource(const std::string& text) : m_rest(text) {}
  std::string_view Next() override;

 private:
  std::string_view m_rest;
};

// A regular file mapped read-only and handed out a piece at a time, each
// piece let go once the next is asked for: it is read from the system's
// cache where it lies, without the copy that reading it into a buffer
// costs, and never held whole. A file cut short while it is read (rewritten
// in place, say) reads as zeros past its new end instead of ending the
// process, and CheckUnchanged says so. In a file of many pieces, a second
// thread maps the next piece and lets go of the last one, so that the
// system's share of reading it runs on another core.
class TMappedSource : public IPieceSource {
 public:
  // Null where the file cannot be mapped (not a regular file, empty,
  // another file being read so, or a system without mappings); it is then
  // read into a buffer.
  static std::unique_ptr<TMappedSource> Map(std::FILE* file, const std::string& path);
  TMappedSource(const char* data, std::size_t size, std::FILE* file, const std::string& path);
  ~TMappedSource() override;
  TMappedSource(const TMappedSource&) = delete;
  TMappedSource& operator=(const TMappedSource&) = delete;
  std::string_view Next() override;
  void CheckUnchanged() const override;
  // Pieces let go are read again from the system's cache.
  std::optional<std::string_view> Before() const override {
    return std::string_view(m_data, m_start);
  }
  // The whole text, for a part read apart (see TMappedRange).
  std::string_view Text() const { return std::string_view(m_data, m_size); }
  // The next piece starts at offset instead: what lies between was read
  // apart.
  void ResumeAt(std::size_t offset) { m_next = offset; }

 private:
  class TAhead;

  const char* m_data;
  std::size_t m_size;
  std::FILE* m_file;
  const std::string& m_path;
  std::size_t m_start = 0;   // of the piece handed out last
  std::size_t m_next = 0;    // where the next piece starts
  std::size_t m_mapped = 0;  // the end of what was mapped ahead
  std::unique_ptr<TAhead> m_ahead;
};

// A stretch of a mapped file, from offset begin to its end, handed out a
// piece at a time for a part of it read apart on a thread of its own: each
// piece mapped in one call, the one before it let go.
class TMappedRange : public IPieceSource {
 public:
  TMappedRange(std::string_view text, std::size_t begin)
      : m_text(text), m_start(begin), m_next(begin) {}
  std::string_view Next() override;

 private:
  std::string_view m_text;
  std::size_t m_start;  // of the piece handed out last
  std::size_t m_next;
};

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

// The file at path, opened to be read unbuffered; throws TInventoryError
// that says why it cannot be.
TFile OpenInventoryFile(const std::string& path, EFileKind kind);

}  // namespace NZARNCORE
