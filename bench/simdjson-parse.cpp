// The fastest parse there is, as a yardstick: reads the whole file and
// parses it into a DOM, nothing more. Exit 0 when the file is JSON.
#include <iostream>

#include <simdjson.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: simdjson-parse FILE\n";
    return 2;
  }
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  const simdjson::error_code error = parser.load(argv[1]).get(document);
  if (error) {
    std::cerr << argv[1] << ": " << simdjson::error_message(error) << '\n';
    return 1;
  }
  return document.is_object() ? 0 : 1;
}
