#pragma once

#include <filesystem>

namespace NZARN {

// The running program's file; empty when the system will not tell.
std::filesystem::path ExecutableFile();

// The folder that holds the running program; empty when the system will not
// tell.
std::filesystem::path ExecutableDirectory();

}  // namespace NZARN
