#pragma once

#include <string>

#include <optional>

#include "host/ZarnApi.h"

namespace NZARNCORE {

// Why the library file at path cannot be whole: the system's loader maps a
// library as its headers describe it, and a file cut short (a copy broken
// off, a full disk) ends the program with a bus error inside the loader
// instead of an error it can report. Nothing when the file holds every part
// its headers name, or is no ELF or PE library at all (the loader says what
// is wrong with that).
ZARN_API std::optional<std::string> CutShortLibrary(const std::string& path);

}  // namespace NZARNCORE
