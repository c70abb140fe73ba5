#pragma once

#include <cstdio>

namespace NZARN {

// Whether the stream goes to a terminal, where people read lines as they
// come.
bool IsTerminal(std::FILE* stream);

}  // namespace NZARN
