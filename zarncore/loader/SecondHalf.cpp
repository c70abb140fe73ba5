#include "zarncore/loader/SecondHalf.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "zarncore/InventoryLoader.h"
#include "zarncore/loader/InventoryHandler.h"
#include "zarncore/loader/PieceSources.h"
#include "zarncore/loader/SyntaxErrors.h"

namespace NZARNCORE {

namespace {

// Below this, a second thread costs more than it saves.
constexpr std::size_t kSmallestSplit = 8 * kPieceSize;

// How far past its place an instance's end is looked for.
constexpr std::size_t kSought = kPieceSize;

// A comma between the end of one object and the start of the next, a
// little past the middle: the place where the rest of an array of
// instances most likely starts. The second thread gets the smaller share,
// as it maps its pieces and zeroes its storage's fresh pages itself, where
// the loader has both done ahead on other threads: on the flooded event
// log, 55 % of the file before the place took the least time, and the two
// threads ended closest together with it 53 % to 56 % in.
std::optional<std::size_t> SplitPlace(std::string_view text) {
  const std::size_t from = text.size() / 20 * 11;
  const std::size_t last = std::min(text.size(), from + kSought);
  for (std::size_t at = text.find("},", from); at < last; at = text.find("},", at + 1)) {
    const std::size_t next = text.find_first_not_of(" \t\r\n", at + 2);
    if (next != std::string_view::npos && text[next] == '{') return at + 1;
  }
  return std::nullopt;
}

}  // namespace

std::unique_ptr<TSecondHalf> TSecondHalf::Start(std::string_view text, const std::string& source,
                                                TInventory& inventory) {
  if (text.size() < kSmallestSplit) return nullptr;
  const std::optional<std::size_t> place = SplitPlace(text);
  if (!place) return nullptr;
  try {
    return std::make_unique<TSecondHalf>(text, *place, source, inventory);
  } catch (const std::system_error&) {
    // No thread to spare: the loader reads it all.
    return nullptr;
  }
}

TSecondHalf::TSecondHalf(std::string_view text, std::size_t begin, const std::string& source,
                         TInventory& inventory)
    : m_text(text), m_begin(begin), m_source(source), m_part(&inventory), m_thread([this] {
        Read();
      }) {}

TSecondHalf::~TSecondHalf() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
}

std::optional<std::size_t> TSecondHalf::Finish(TInventory& inventory, std::size_t classIndex) {
  m_thread.join();
  if (!m_end || !inventory.TakeInstances(classIndex, m_part)) return std::nullopt;
  return m_end;
}

// What this thread cannot read, the loader reads again and meets the same
// failure, which it reports: so whatever stops this thread stops it
// quietly.
void TSecondHalf::Read() {
  try {
    boost::json::basic_parser<THandler> parser(boost::json::parse_options(), m_source, m_part,
                                               THandler::TRestOfArray());
    boost::json::error_code code;
    parser.write_some(true, "[", 1, code);
    TMappedRange range(m_text, m_begin + 1);
    for (std::string_view piece = range.Next(); !piece.empty() && !m_stop; piece = range.Next()) {
      const std::size_t used = parser.write_some(true, piece.data(), piece.size(), code);
      if (code) return;
      if (parser.done()) {
        m_end = ArrayEnd(static_cast<std::size_t>(piece.data() - m_text.data()) + used);
        return;
      }
    }
  } catch (const std::exception&) {
  }
}

// The parser stops after the array's ']' and the blanks after it.
std::size_t TSecondHalf::ArrayEnd(std::size_t consumed) const {
  std::size_t end = consumed - 1;
  while (IsBlank(m_text[end])) --end;
  return end;
}

}  // namespace NZARNCORE
