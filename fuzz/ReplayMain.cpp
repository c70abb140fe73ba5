// Feeds every file of the given folders (or the given files) to a harness, in
// name order, as the fuzzer would. The test suite uses it to replay the
// corpora without fuzzing, so it stays fast and gives the same result on
// every run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const std::vector<fs::path>& places) {
  std::vector<fs::path> inputs;
  for (const fs::path& place : places) {
    if (!fs::is_directory(place)) {
      inputs.push_back(place);
      continue;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(place))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

bool ReadBytes(const fs::path& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  const std::vector<fs::path> inputs = InputsOf(std::vector<fs::path>(argv + 1, argv + argc));
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs to replay\n");
    return 2;
  }
  for (const fs::path& input : inputs) {
    std::string bytes;
    if (!ReadBytes(input, bytes)) {
      std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
      return 2;
    }
    std::fprintf(stderr, "replaying %s\n", input.string().c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
