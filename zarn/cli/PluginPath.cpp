#include "zarn/cli/PluginPath.h"

#include <system_error>

#include <boost/dll/runtime_symbol_info.hpp>

namespace NZARN {

// A program whose file the system will not name looks beside the current
// folder.
std::filesystem::path DefaultPluginPath() {
  std::error_code error;
  const std::filesystem::path folder = boost::dll::program_location(error).parent_path();
  const std::filesystem::path beside = folder / "tvxanal.pi";
  const std::filesystem::path installed = folder / ".." / "lib" / "zarn" / "tvxanal.pi";
  if (std::filesystem::exists(beside, error) || !std::filesystem::exists(installed, error))
    return beside;
  return installed.lexically_normal();
}

}  // namespace NZARN
