#include "zarncore/InventoryLoader.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include <boost/make_shared.hpp>

#include "zarncore/loader/InventoryHandler.h"
#include "zarncore/loader/PieceSources.h"
#include "zarncore/loader/SecondHalf.h"
#include "zarncore/loader/SyntaxErrors.h"

namespace NZARNCORE {

namespace {

// Hands the parser the text a piece at a time, so that it is never held
// whole, and turns the parser's syntax errors into located messages.
class TLoader {
 public:
  TLoader(const std::string& source, TInventory& inventory)
      : m_source(source),
        m_inventory(inventory),
        m_parser(boost::json::parse_options(), source, inventory) {}

  // A mapped file may have the second half of its largest array read on
  // another thread meanwhile.
  void Load(IPieceSource& input, TMappedSource* mapped) {
    m_input = &input;
    m_following = !input.Before();
    const std::optional<TArena::TFillingAhead> ahead = m_inventory.FillingAhead();
    if (mapped) m_second = TSecondHalf::Start(mapped->Text(), m_source, m_inventory);
    std::string_view piece = input.Next();
    // Editors on some systems start UTF-8 files with a byte order mark.
    if (piece.substr(0, 3) == "\xEF\xBB\xBF") {
      piece.remove_prefix(3);
      m_skipped = 3;
    }
    for (; !piece.empty(); piece = input.Next()) {
      const std::optional<std::size_t> from =
          m_second ? SecondHalfIn(piece, mapped) : std::optional<std::size_t>(0);
      if (from) Parse(piece, *from, true);
    }
    Parse(std::string_view(""), 0, false);
    m_parser.handler().ResolveAssociations();
  }

 private:
  // Where in the piece this thread reads on: nowhere when the second half,
  // which starts in it, was taken whole and the source resumes after it;
  // from the second half's start when it must read it itself.
  std::optional<std::size_t> SecondHalfIn(std::string_view piece, TMappedSource* mapped) {
    const std::size_t offset = static_cast<std::size_t>(piece.data() - mapped->Text().data());
    const std::size_t begin = m_second->Begin();
    // The place lies in a later piece.
    if (begin - offset > piece.size()) return 0;
    Parse(piece.substr(0, begin - offset), 0, true);
    THandler& handler = m_parser.handler();
    const std::size_t before = m_inventory.InstanceCount();
    const std::optional<std::size_t> end = handler.AtInstanceEnd()
                                               ? m_second->Finish(m_inventory, handler.ClassIndex())
                                               : std::nullopt;
    m_second.reset();
    if (!end) return begin - offset;
    handler.CountInstances(m_inventory.InstanceCount() - before);
    mapped->ResumeAt(*end);
    return std::nullopt;
  }

  // Parses the piece from the offset on.
  void Parse(std::string_view piece, std::size_t from, bool more) {
    const std::string_view rest = piece.substr(from);
    if (!m_content) {
      m_content = std::find_if_not(rest.begin(), rest.end(), IsBlank) != rest.end();
    }
    boost::json::error_code code;
    const std::size_t used = from + m_parser.write_some(more, rest.data(), rest.size(), code);
    if (code) {
      const TStop stop{Position().Before(piece, used), piece.substr(used)};
      Fail(piece, used, Describe(code, stop, m_content));
    }
    // The parser stops after the top-level value and the blanks after it.
    if (used < piece.size()) Fail(piece, used, {0, "unexpected data after the top-level object"});
    if (m_following) m_position.Advance(piece);
  }

  // Where the piece being parsed starts. Found in the text before it only
  // for an error: counting its lines as it is read cost a load of the
  // flooded event log some 4 % of its instructions.
  TTextPosition Position() const {
    if (m_following) return m_position;
    const std::string_view before = *m_input->Before();
    TTextPosition position;
    position.Advance(before.substr(std::min(m_skipped, before.size())));
    return position;
  }

  [[noreturn]] void Fail(std::string_view piece, std::size_t offset,
                         const TSyntaxError& error) const {
    m_input->CheckUnchanged();
    const std::string at = Position().At(piece, offset, error.shift);
    // The text read again for the place is checked as the rest was.
    m_input->CheckUnchanged();
    throw TInventoryError(m_source + ":" + at + ": " + error.message);
  }

  const std::string& m_source;
  TInventory& m_inventory;
  IPieceSource* m_input = nullptr;
  boost::json::basic_parser<THandler> m_parser;
  std::unique_ptr<TSecondHalf> m_second;
  TTextPosition m_position;  // followed only where the source keeps no text
  bool m_following = true;
  std::size_t m_skipped = 0;  // the byte order mark's
  bool m_content = false;     // anything but blanks so far
};

boost::shared_ptr<TInventory> Load(const std::string& source, IPieceSource& input,
                                   EPropertyValues values, TMappedSource* mapped = nullptr) {
  const boost::shared_ptr<TInventory> inventory = boost::make_shared<TInventory>(values);
  std::make_unique<TLoader>(source, *inventory)->Load(input, mapped);
  return inventory;
}

}  // namespace

boost::shared_ptr<TInventory> LoadInventoryFile(const std::string& path, EFileKind kind,
                                                EPropertyValues values) {
  const TFile file = OpenInventoryFile(path, kind);
  if (const std::unique_ptr<TMappedSource> mapped = TMappedSource::Map(file.get(), path)) {
    return Load(path, *mapped, values, mapped.get());
  }
  TFileSource input(file.get(), path);
  return Load(path, input, values);
}

boost::shared_ptr<TInventory> LoadInventoryStream(std::FILE* file, const std::string& sourceName,
                                                  EPropertyValues values) {
  TFileSource input(file, sourceName);
  return Load(sourceName, input, values);
}

boost::shared_ptr<TInventory> LoadInventoryText(const std::string& text,
                                                const std::string& sourceName) {
  TTextSource input(text);
  return Load(sourceName, input, EPropertyValues::Kept);
}

}  // namespace NZARNCORE
