#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
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

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

// The file at path, opened to be read unbuffered; throws TInventoryError
// that says why it cannot be.
TFile OpenInventoryFile(const std::string& path, EFileKind kind);

}  // namespace NZARNCORE
