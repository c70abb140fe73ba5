#pragma once

#include <string>

#include "host/ZarnApi.h"

namespace NZARNCORE {

// Whether path leads to a folder; false when it cannot be looked up.
ZARN_API bool IsFolder(const std::string& path);

}  // namespace NZARNCORE
