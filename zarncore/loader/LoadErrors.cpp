#include "zarncore/loader/LoadErrors.h"

#include "zarncore/InventoryLoader.h"
#include "zarncore/Text.h"

namespace NZARNCORE {

namespace {

// A message quotes at most this much of a text or number from the file.
constexpr std::size_t kQuotedBytes = 80;

}  // namespace

TInventoryError::TInventoryError(const std::string& what) : std::runtime_error(Printable(what)) {}

TInventoryError::~TInventoryError() = default;

std::string Shown(std::string_view text, std::size_t length, std::string_view mark) {
  std::string shown(mark);
  if (length <= kQuotedBytes) return shown.append(text).append(mark);
  std::size_t cut = kQuotedBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return shown.append(text.substr(0, cut))
      .append("...")
      .append(mark)
      .append(" (cut, " + std::to_string(length) + " bytes)");
}

std::string Quoted(std::string_view text) { return Shown(text, text.size(), "'"); }

}  // namespace NZARNCORE
