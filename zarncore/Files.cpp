#include "zarncore/Files.h"

#include <filesystem>
#include <system_error>

namespace NZARNCORE {

bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

}  // namespace NZARNCORE
