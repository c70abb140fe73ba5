#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "collectors/Collector.h"
#include "zarn/Commands.h"
#include "zarn/HostSession.h"

namespace NZARN {

namespace {

const char kCollector[] = "zarn collect";

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Beside the file, so that the rename stays on its file system; a random
// part keeps two runs apart.
std::filesystem::path TemporaryPath(const std::filesystem::path& file) {
  std::random_device random;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%08x%08x.partial", random(), random());
  return file.string() + suffix;
}

// The system's words for an error, as the end of a sentence.
std::string Reason(const std::error_code& error) {
  std::string reason = error.message();
  if (!reason.empty())
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  return reason;
}

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

std::error_code WriteAll(const std::filesystem::path& path, const std::string& text) {
  std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.string().c_str(), "wb"));
  if (!file) return LastError();
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) return LastError();
  if (std::fclose(file.release()) != 0) return LastError();
  return std::error_code();
}

// Whole or not at all: the text goes to a temporary file, renamed to the
// file once complete, so the file never holds part of an inventory.
int WriteFile(const std::string& path, const std::string& text) {
  const std::filesystem::path temporary = TemporaryPath(path);
  std::error_code error = WriteAll(temporary, text);
  if (!error) std::filesystem::rename(temporary, path, error);
  if (!error) return eExitClean;
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  ReportError("cannot write " + path + ": " + Reason(error) + "; nothing was written");
  return eExitOutputFailed;
}

int WriteStdout(const std::string& text) {
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  return FinishOutput() ? eExitClean : eExitOutputFailed;
}

}  // namespace

int RunCollect(const TCollectOptions& options) {
  NZARNCOLLECT::TCollectedInventory inventory;
  try {
    inventory = NZARNCOLLECT::CollectMachine(options.machine);
  } catch (const NZARNCOLLECT::TCollectError& error) {
    ReportError(error.what());
    return eExitUsage;
  }
  const std::string text = NZARNCOLLECT::InventoryText(
      inventory, NZARNCOLLECT::TCollectorStamp{kCollector, ZARN_VERSION, NZARNCOLLECT::UtcNow()});
  return options.output ? WriteFile(*options.output, text) : WriteStdout(text);
}

}  // namespace NZARN
