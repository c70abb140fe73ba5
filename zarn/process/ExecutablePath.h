#pragma once

#include <filesystem>

namespace NZARN {

// The running program's file; empty when the system will not tell.
std::filesystem::path ExecutableFile();

// The folder that holds the running program; empty when the system will not
// tell.
std::filesystem::path ExecutableDirectory();

// The plug-in zarn loads unless --plugin names another: tvxanal.pi beside
// zarn (a build tree, an unpacked Windows folder), otherwise the installed
// one in ../lib/zarn/ from zarn's folder.
std::filesystem::path DefaultPluginPath();

}  // namespace NZARN
