#include <gtest/gtest.h>

#include <string>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include "zarncore/Text.h"

namespace {

// What the JSON library writes for text, its UTF-8 repaired first.
std::string LibraryJson(const std::string& text) {
  const std::string repaired = NZARNCORE::RepairUtf8(text);
  return boost::json::serialize(boost::json::string_view(repaired.data(), repaired.size()));
}

std::string Written(const std::string& text) {
  std::string out = "prefix ";
  NZARNCORE::AppendJsonString(out, text);
  return out.substr(7);
}

// Every byte, alone and at each place in and around the runs of sixteen
// and of eight that are copied whole, is written as the library writes it.
TEST(JsonString, WritesEveryByteAsTheLibraryDoes) {
  const std::string around = "0123456789abcdefghijklmnopqrstuvwxyzABCDEF";
  for (int byte = 0; byte < 256; ++byte) {
    for (std::size_t at = 0; at <= around.size(); at += 3) {
      std::string text = around;
      text.insert(at, 1, static_cast<char>(byte));
      ASSERT_EQ(Written(text), LibraryJson(text)) << "byte " << byte << " at " << at;
    }
  }
}

// Calls check with every text of two of bytes at every two places in and
// around runs of sixteen and of eight: a run is copied up to its first
// byte that needs care, a mark above that byte may be false, and the bytes
// after it are looked at again.
template <std::size_t kCount, class TCheck>
void ForEveryTwoBytes(const char (&bytes)[kCount], TCheck check) {
  const std::string around(34, 'x');
  for (const char first : bytes) {
    for (const char second : bytes) {
      for (std::size_t at = 0; at < around.size(); ++at) {
        for (std::size_t later = at + 1; later < around.size(); ++later) {
          std::string text = around;
          text[at] = first;
          text[later] = second;
          check(text);
        }
      }
    }
  }
}

// Bytes to escape and their neighbours.
TEST(JsonString, WritesEveryTwoBytesNearEscapesAsTheLibraryDoes) {
  const char bytes[] = {'\0', '\x01', '\x1f', ' ', '!', '"', '#', '\\', ']', '\x7f'};
  ForEveryTwoBytes(bytes, [](const std::string& text) {
    ASSERT_EQ(Written(text), LibraryJson(text)) << NZARNCORE::Printable(text);
  });
}

TEST(JsonString, WritesMixedTextsAsTheLibraryDoes) {
  const std::string texts[] = {"",
                               "\"",
                               "C:\\Windows\\system32\\drivers\\zelk412.sys\r\n",
                               "Administr\xC3\xA1tor \xE2\x82\xAC \xF0\x9F\x98\x80 \x7F\x1B[0m",
                               "cut \xE2\x82 sequence and a lone \x80 byte then more text",
                               std::string("nul \0 inside and after the eighth byte", 39)};
  for (const std::string& text : texts) EXPECT_EQ(Written(text), LibraryJson(text)) << text;
}

// Whether a text is well-formed UTF-8 is what the JSON library's parser,
// which checks every string, says of it.
TEST(Utf8, IsWellFormedWhereTheLibraryParsesIt) {
  const char bytes[] = {'x',    '\x7f', '\x80', '\xbf', '\xc0', '\xc2', '\xdf',
                        '\xe0', '\xed', '\xef', '\xf0', '\xf4', '\xf5', '\xff'};
  ForEveryTwoBytes(bytes, [](const std::string& text) {
    boost::system::error_code error;
    boost::json::parse('"' + text + '"', error);
    ASSERT_EQ(NZARNCORE::IsWellFormedUtf8(text), !error) << NZARNCORE::Printable(text);
  });
}

// Each byte is shown on its own, so a text shows as its bytes one by one
// do, wherever those that need showing lie.
TEST(Printable, ShowsATextAsItsBytesOneByOne) {
  const char bytes[] = {'\0', '\x01', '\t', '\n', '\r', '\x1b', '\x1f', ' ', '~', '\x7f', '\x80'};
  ForEveryTwoBytes(bytes, [](const std::string& text) {
    std::string oneByOne;
    for (const char byte : text) oneByOne += NZARNCORE::Printable(std::string(1, byte));
    ASSERT_EQ(NZARNCORE::Printable(text), oneByOne);
  });
}

}  // namespace
