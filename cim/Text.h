#pragma once

#include <cstdint>
#include <string>

namespace NTVXANAL {

// The text with the letters A to Z lowered, as the C library's tolower does
// in the C locale. Every other byte, those of UTF-8 sequences included, stays
// as it is, whatever locale the host runs in.
std::string LowerCase(std::string text);

// Reads a number the way atoi reads a text: leading white space, an optional
// sign, then decimal digits up to the first other character; 0 when no number
// begins the text. Unlike atoi it is defined for every text: a number beyond
// the signed 32-bit range gives the nearest limit.
std::int32_t ReadInteger(const std::string& text);

}  // namespace NTVXANAL
