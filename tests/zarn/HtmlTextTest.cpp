// How the page shows a text of an inventory or the plug-in: as text and
// nothing else, whatever bytes it holds, and no longer than its limit.
#include <string>

#include <gtest/gtest.h>

#include "support/CaseName.h"
#include "zarn/report/HtmlText.h"

namespace NZARNTEST {
namespace {

using NTESTS::operator<<;
using NTESTS::TCaseName;

struct THtmlCase {
  std::string name;
  std::string text;
  std::size_t maxBytes;
  std::string oneLine;  // AppendHtmlText
  std::string lines;    // AppendHtmlLines
};

class HtmlText : public testing::TestWithParam<THtmlCase> {};

TEST_P(HtmlText, ShowsTextAsText) {
  const THtmlCase& c = GetParam();
  std::string oneLine = "<td>";
  NZARN::AppendHtmlText(oneLine, c.text, c.maxBytes);
  EXPECT_EQ(oneLine, "<td>" + c.oneLine);
  std::string lines;
  NZARN::AppendHtmlLines(lines, c.text, c.maxBytes);
  EXPECT_EQ(lines, c.lines);
}

const std::string kCut = "\xE2\x80\xA6 (cut: ";

INSTANTIATE_TEST_SUITE_P(
    Report, HtmlText,
    testing::Values(
        THtmlCase{"Plain", "Tarvex-4c 5.20", 100, "Tarvex-4c 5.20", "Tarvex-4c 5.20"},
        THtmlCase{"Markup", "<img src=x onerror=\"a('b')\"> & </style>", 100,
                  "&lt;img src=x onerror=&quot;a(&#39;b&#39;)&quot;&gt; &amp; &lt;/style&gt;",
                  "&lt;img src=x onerror=&quot;a(&#39;b&#39;)&quot;&gt; &amp; &lt;/style&gt;"},
        THtmlCase{"Breaks", "one\n\ttwo\r\n", 100, "one\\n\\ttwo\\r\\n", "one\n\\ttwo\\r\n"},
        THtmlCase{"ControlsAndBadBytes", "a\x1B[31m\x01z\xFF", 100,
                  "a\\u001B[31m\\u0001z\xEF\xBF\xBD", "a\\u001B[31m\\u0001z\xEF\xBF\xBD"},
        THtmlCase{"CutOnAWholeCharacter", "ab\xC3\xA9z", 3, "ab" + kCut + "5 bytes in all)",
                  "ab" + kCut + "5 bytes in all)"},
        THtmlCase{"CutAfterIt", "ab\xC3\xA9z", 4, "ab\xC3\xA9" + kCut + "5 bytes in all)",
                  "ab\xC3\xA9" + kCut + "5 bytes in all)"},
        THtmlCase{"AtTheLimit", "a<b", 3, "a&lt;b", "a&lt;b"}),
    TCaseName());

}  // namespace
}  // namespace NZARNTEST
