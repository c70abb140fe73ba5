#include "zarn/process/ExecutablePath.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>
#endif

#include <system_error>

namespace NZARN {

#if defined(_WIN32)

std::filesystem::path ExecutableFile() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (size == 0) return {};
    if (size < buffer.size()) return std::filesystem::path(buffer.data());
    buffer.resize(buffer.size() * 2);
  }
}

#else

std::filesystem::path ExecutableFile() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : executable;
}

#endif

std::filesystem::path ExecutableDirectory() { return ExecutableFile().parent_path(); }

std::filesystem::path DefaultPluginPath() {
  const std::filesystem::path folder = ExecutableDirectory();
  const std::filesystem::path beside = folder / "tvxanal.pi";
  const std::filesystem::path installed = folder / ".." / "lib" / "zarn" / "tvxanal.pi";
  std::error_code error;
  if (std::filesystem::exists(beside, error) || !std::filesystem::exists(installed, error))
    return beside;
  return installed.lexically_normal();
}

}  // namespace NZARN
