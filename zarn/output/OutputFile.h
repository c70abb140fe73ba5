#pragma once

#include <string>

namespace NZARN {

// Why path cannot name a file to write an inventory to: it is empty, or it
// names a folder; empty when it can.
std::string OutputPathProblem(const std::string& path);

// Writes text to the file at path, whole or not at all, and gives why it
// failed; empty on success. A regular file, or a new one, is written as a
// temporary file beside it, then renamed onto it: the file keeps its mode
// and owner, a symbolic link keeps leading to it, and no temporary file is
// left when a signal that can be caught, or a file-size limit, ends the
// write. Anything else (a device, a pipe) is written through, as it is.
std::string WriteWholeFile(const std::string& path, const std::string& text);

}  // namespace NZARN
