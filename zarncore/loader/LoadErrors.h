#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace NZARNCORE {

// A text of the file as a message shows it, between marks: whole when
// short, otherwise its first bytes up to a whole character, "..." and its
// length, as in 'abc...' (cut, 104857600 bytes). length is the whole
// text's, of which text may be the start.
std::string Shown(std::string_view text, std::size_t length, std::string_view mark);

// The text between single quotes, as Shown gives it.
std::string Quoted(std::string_view text);

}  // namespace NZARNCORE
