#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

#include <boost/shared_ptr.hpp>

#include "host/ZarnApi.h"
#include "zarncore/Inventory.h"

namespace NZARNCORE {

// The one error that stops a load. what() names the source and the place:
// "FILE:LINE:COLUMN: message" for a syntax error, "FILE: PATH: message" for
// anything else, PATH being a JSON path such as classes.CLASS[0].PROPERTY.
// It is one line of text: control characters that names in the file hold
// are shown escaped (\n, \u001B).
class ZARN_API TInventoryError : public std::runtime_error {
 public:
  explicit TInventoryError(const std::string& what);
  ~TInventoryError() override;
};

// What a path may lead to: anything that reads (a FIFO too, such as the
// /dev/fd/63 of a shell's <(...)), or a regular file only, opened without
// waiting, for a file found in a folder that may have been replaced since.
enum class EFileKind { Any, Regular };

// Reads an inventory a piece at a time, never holding its text whole.
// sourceName is what errors call an open file or a text. An open file is
// read to its end, waited on where it is a pipe left non-blocking. Values
// are checked alike whether they are kept or dropped.
ZARN_API boost::shared_ptr<TInventory> LoadInventoryFile(
    const std::string& path, EFileKind kind = EFileKind::Any,
    EPropertyValues values = EPropertyValues::Kept);
ZARN_API boost::shared_ptr<TInventory> LoadInventoryStream(
    std::FILE* file, const std::string& sourceName, EPropertyValues values = EPropertyValues::Kept);
ZARN_API boost::shared_ptr<TInventory> LoadInventoryText(const std::string& text,
                                                         const std::string& sourceName);

}  // namespace NZARNCORE
