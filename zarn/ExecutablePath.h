#pragma once

#include <filesystem>

namespace NZARN {

// The folder that holds the running program; empty when the system will not
// tell.
std::filesystem::path ExecutableDirectory();

}  // namespace NZARN
