#pragma once

#include <memory>
#include <ostream>
#include <streambuf>

#include "zarn/output/WorkerThread.h"

namespace NZARN {

// While it lives, what is written to the stream is gathered a mebibyte at
// a time before the stream's own buffer takes it, which writes every eight
// kibibytes: the 200,000 lines of a flooded event log took some ten
// thousand system calls. From the second mebibyte on, a thread of its own
// writes each while the next is gathered, so that the system's copying of
// a large output holds up no analysis. A flush of the stream hands on what
// was gathered, and tells whether all of it, and all before it, was
// written. A stream that is a terminal is left as it is, so that its lines
// show as they come.
class TGatheredOutput : public std::streambuf {
 public:
  explicit TGatheredOutput(std::ostream& out);
  ~TGatheredOutput() override;
  TGatheredOutput(const TGatheredOutput&) = delete;
  TGatheredOutput& operator=(const TGatheredOutput&) = delete;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  // Writes what was gathered before it returns.
  bool HandOn();
  // Has the writer write what was gathered meanwhile; false when an
  // earlier write failed.
  bool PassOn();

  std::ostream& m_out;
  std::streambuf* m_target = nullptr;  // the stream's own; null when left as it is
  // Left uninitialised: a typical inventory's output touches a few of its
  // pages, and zeroing them all cost a single run a sixth of its time.
  std::unique_ptr<char[]> m_buffer;
  std::unique_ptr<char[]> m_passed;  // the one the writer writes
  std::unique_ptr<TWorkerThread> m_writer;
  bool m_written = true;  // every write the writer was handed wrote all
};

}  // namespace NZARN
