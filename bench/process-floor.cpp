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

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: process-floor COUNT JOBS [LIBRARY...]\n");
    return 2;
  }
  const long count = std::strtol(argv[1], nullptr, 10);
  const long jobs = std::strtol(argv[2], nullptr, 10);
  if (count < 0 || jobs < 1) {
    std::fprintf(stderr, "process-floor: COUNT must be 0 or more and JOBS 1 or more\n");
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
