#include "ZarnRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace NZARNTEST {

namespace {

// An unnamed temporary file that takes one output stream of the child, so
// a large output can never block it.
class TCapture {
 public:
  TCapture() {
    char path[] = "/tmp/zarn-e2e-XXXXXX";
    m_fd = mkstemp(path);
    if (m_fd < 0) throw std::runtime_error("cannot create a temporary file");
    unlink(path);
  }
  ~TCapture() { close(m_fd); }
  TCapture(const TCapture&) = delete;
  TCapture& operator=(const TCapture&) = delete;

  int Fd() const { return m_fd; }

  std::string Read() const {
    std::string text;
    char buffer[4096];
    for (off_t offset = 0;;) {
      const ssize_t got = pread(m_fd, buffer, sizeof buffer, offset);
      if (got <= 0) return text;
      text.append(buffer, static_cast<std::size_t>(got));
      offset += got;
    }
  }

 private:
  int m_fd;
};

[[noreturn]] void ExecChild(std::vector<char*>& argv, int out, int err) {
  const int input = open("/dev/null", O_RDONLY);
  if (chdir(SOURCE_DIR) != 0 || dup2(input, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
    _exit(126);
  }
  execv(argv[0], argv.data());
  _exit(127);
}

TRunResult Run(std::vector<std::string> args, bool mergeErr) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  TCapture out;
  TCapture err;
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ExecChild(argv, out.Fd(), mergeErr ? out.Fd() : err.Fd());
  int waitStatus = 0;
  waitpid(child, &waitStatus, 0);
  TRunResult result;
  result.out = out.Read();
  result.err = err.Read();
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  return result;
}

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/')); }

}  // namespace

TRunResult RunZarn(const std::vector<std::string>& args) {
  std::vector<std::string> argv{ZARN_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, false);
}

TRunResult RunShell(const std::string& script) {
  const char* inherited = std::getenv("PATH");
  const std::string path = Folder(ZARN_PATH) + ":" + (inherited ? inherited : "/usr/bin:/bin");
  return Run({"/usr/bin/env", "PATH=" + path, "/bin/sh", "-c", script}, true);
}

std::string DataFile(const std::string& name) { return "tests/zarn/data/" + name; }

std::string TestPlugin(const std::string& name) {
  return std::string(TEST_PLUGIN_DIR) + "/" + name + ".pi";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(std::filesystem::path(SOURCE_DIR) / path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace NZARNTEST
