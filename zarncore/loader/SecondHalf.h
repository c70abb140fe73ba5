#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "zarncore/Inventory.h"

namespace NZARNCORE {

// The rest of a class's array from about the middle of a large mapped
// file, read on a thread of its own while the loader reads what comes
// before it: the two halves of a large event log are parsed on two cores
// at once. None of it counts until the loader, reaching the place, finds
// an instance of that class ending there. Where it does not, or where the
// rest holds anything this thread cannot judge alone (an error, an $id),
// the loader reads it itself, so that every error is placed and worded as
// it always was.
class TSecondHalf {
 public:
  // Null where the file is too small to gain from it, or no instance ends
  // near its middle.
  static std::unique_ptr<TSecondHalf> Start(std::string_view text, const std::string& source,
                                            TInventory& inventory);
  TSecondHalf(std::string_view text, std::size_t begin, const std::string& source,
              TInventory& inventory);
  // Stops the thread, at the end of its piece, and waits for it.
  ~TSecondHalf();
  TSecondHalf(const TSecondHalf&) = delete;
  TSecondHalf& operator=(const TSecondHalf&) = delete;

  // Where the rest starts: the comma after an instance's end.
  std::size_t Begin() const { return m_begin; }
  // Waits for the thread. Where the array's ']' lies, when it read the rest
  // of the array whole, its instances then appended to the class
  // classIndex; nothing where the loader must read it.
  std::optional<std::size_t> Finish(TInventory& inventory, std::size_t classIndex);

 private:
  void Read();
  std::size_t ArrayEnd(std::size_t consumed) const;

  std::string_view m_text;
  std::size_t m_begin;
  const std::string& m_source;
  TInventory m_part;
  std::optional<std::size_t> m_end;  // of the rest, once read whole
  std::atomic<bool> m_stop{false};
  std::thread m_thread;  // last, so that it starts with the rest in place
};

}  // namespace NZARNCORE
