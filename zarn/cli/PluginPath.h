#pragma once

#include <filesystem>

namespace NZARN {

// The plug-in zarn loads unless --plugin names another: tvxanal.pi beside
// zarn (a build tree, an unpacked Windows folder), otherwise the installed
// one in ../lib/zarn/ from zarn's folder.
std::filesystem::path DefaultPluginPath();

}  // namespace NZARN
