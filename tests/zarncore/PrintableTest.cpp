#include <gtest/gtest.h>

#include <string>

#include "zarncore/Text.h"

namespace {

// Each byte is shown on its own: a text shows as its bytes one by one do,
// wherever the bytes that need showing lie among the runs of eight that
// are copied whole.
TEST(Printable, ShowsATextAsItsBytesOneByOne) {
  const char bytes[] = {'\0', '\x01', '\t', '\n', '\r', '\x1b', '\x1f', ' ', '~', '\x7f', '\x80'};
  const std::string around(18, 'x');
  for (const char first : bytes) {
    for (const char second : bytes) {
      for (std::size_t at = 0; at < around.size(); ++at) {
        for (std::size_t later = at + 1; later < around.size(); ++later) {
          std::string text = around;
          text[at] = first;
          text[later] = second;
          std::string oneByOne;
          for (const char byte : text) oneByOne += NZARNCORE::Printable(std::string(1, byte));
          ASSERT_EQ(NZARNCORE::Printable(text), oneByOne) << "at " << at << " and " << later;
        }
      }
    }
  }
}

}  // namespace
