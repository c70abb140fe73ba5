#pragma once

#include <string>

#include "zarncore/InventoryLoader.h"

namespace NTESTS {

// The loader's message for an inventory text named "inv.json", or
// "(loaded)" when it loads.
inline std::string ErrorOf(const std::string& text) {
  try {
    NZARNCORE::LoadInventoryText(text, "inv.json");
  } catch (const NZARNCORE::TInventoryError& error) {
    return error.what();
  }
  return "(loaded)";
}

}  // namespace NTESTS
