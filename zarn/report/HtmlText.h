#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace NZARN {

// Appends text as HTML: &, <, >, " and ' as character references, so that
// it stays text wherever it stands, in an element or a quoted attribute.
// For words of zarn's own and numbers.
void AppendEscaped(std::string& out, std::string_view text);

// Appends a text from an inventory or the plug-in as HTML, on one line: its
// UTF-8 repaired and its control characters escaped as text output shows
// them (\n, \t, \u001B), then escaped as above. A text longer than
// maxBytes shows its first maxBytes (fewer, to end on a whole character)
// and says how long it was.
void AppendHtmlText(std::string& out, const std::string& text, std::size_t maxBytes);

// As AppendHtmlText, keeping the text's line breaks, for a page that shows
// it as written (white-space: pre-wrap).
void AppendHtmlLines(std::string& out, const std::string& text, std::size_t maxBytes);

}  // namespace NZARN
