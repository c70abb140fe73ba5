// The floor of a process for each inventory, as a yardstick for 'zarn
// analyze DIR': the libraries that zarn's parent holds are loaded, as its
// children's copies of it would hold them, then COUNT children are made,
// JOBS at a time, each ending at once. What zarn takes beyond this is its
// own. Exit 0 when every child was made and reaped.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The whole of text read as a decimal number of at least least; -1 when it
// is not one.
long Number(const char* text, long least) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= least ? value : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc < 3 ? -1 : Number(argv[1], 0);
  const long jobs = argc < 3 ? -1 : Number(argv[2], 1);
  if (count < 0 || jobs < 0) {
    std::fprintf(stderr,
                 "usage: process-floor COUNT JOBS [LIBRARY...]\n"
                 "  COUNT processes, 0 or more; JOBS at a time, 1 or more\n");
    return 2;
  }
  for (int library = 3; library < argc; ++library) {
    if (dlopen(argv[library], RTLD_NOW) == nullptr) {
      std::fprintf(stderr, "process-floor: %s\n", dlerror());
      return 1;
    }
  }
  long running = 0;
  for (long made = 0; made < count; ++made) {
    if (running == jobs && wait(nullptr) > 0) --running;
    const pid_t child = fork();
    if (child == 0) _exit(0);
    if (child < 0) {
      std::perror("process-floor: fork");
      return 1;
    }
    ++running;
  }
  while (running > 0 && wait(nullptr) > 0) --running;
  return running == 0 ? 0 : 1;
}
