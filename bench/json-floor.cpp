// The parser's floor, as a yardstick: the JSON library's streaming parser
// over the whole file, handed a mebibyte at a time as zarn hands it, with a
// handler that keeps nothing. Exit 0 when the file is JSON.
#include <cstdio>
#include <iostream>
#include <memory>

#include <boost/json/basic_parser_impl.hpp>

namespace {

using boost::json::error_code;
using boost::json::string_view;

struct TNothingKept {
  static constexpr std::size_t max_object_size = std::size_t(-1);
  static constexpr std::size_t max_array_size = std::size_t(-1);
  static constexpr std::size_t max_key_size = std::size_t(-1);
  static constexpr std::size_t max_string_size = std::size_t(-1);

  bool on_document_begin(error_code&) { return true; }
  bool on_document_end(error_code&) { return true; }
  bool on_object_begin(error_code&) { return true; }
  bool on_object_end(std::size_t, error_code&) { return true; }
  bool on_array_begin(error_code&) { return true; }
  bool on_array_end(std::size_t, error_code&) { return true; }
  bool on_key_part(string_view, std::size_t, error_code&) { return true; }
  bool on_key(string_view, std::size_t, error_code&) { return true; }
  bool on_string_part(string_view, std::size_t, error_code&) { return true; }
  bool on_string(string_view, std::size_t, error_code&) { return true; }
  bool on_number_part(string_view, error_code&) { return true; }
  bool on_int64(std::int64_t, string_view, error_code&) { return true; }
  bool on_uint64(std::uint64_t, string_view, error_code&) { return true; }
  bool on_double(double, string_view, error_code&) { return true; }
  bool on_bool(bool, error_code&) { return true; }
  bool on_null(error_code&) { return true; }
  bool on_comment_part(string_view, error_code&) { return true; }
  bool on_comment(string_view, error_code&) { return true; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: json-floor FILE\n";
    return 2;
  }
  std::FILE* const file = std::fopen(argv[1], "rb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  constexpr std::size_t kPiece = std::size_t(1) << 20;
  const std::unique_ptr<char[]> buffer(new char[kPiece]);
  boost::json::basic_parser<TNothingKept> parser{boost::json::parse_options()};
  error_code error;
  for (std::size_t read; !error && (read = std::fread(buffer.get(), 1, kPiece, file)) != 0;) {
    parser.write_some(true, buffer.get(), read, error);
  }
  if (!error) parser.write_some(false, nullptr, 0, error);
  std::fclose(file);
  if (error) {
    std::cerr << argv[1] << ": " << error.message() << '\n';
    return 1;
  }
  return 0;
}
