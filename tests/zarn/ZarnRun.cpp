#include "ZarnRun.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>

#include <memory>
#include <type_traits>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace NZARNTEST {

namespace {

#if defined(_WIN32)

const char kSeparator = '\\';

struct THandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
typedef std::unique_ptr<std::remove_pointer<HANDLE>::type, THandleCloser> THandle;

THandle OpenInheritable(const char* path, DWORD access, DWORD creation, DWORD flags) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE handle =
      CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                  creation, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error(std::string("cannot open ") + path);
  return THandle(handle);
}

// A temporary file, deleted when closed, that takes one output stream of the
// child, so a large output can never block it.
class TCapture {
 public:
  TCapture()
      : m_file(OpenInheritable(TempFileName().c_str(), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE)) {}

  HANDLE Handle() const { return m_file.get(); }

  // What the child wrote, read as a text stream reads it: "\r\n" as "\n".
  std::string Read() const {
    SetFilePointer(m_file.get(), 0, nullptr, FILE_BEGIN);
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(m_file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
      text.append(buffer, got);
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
  }

 private:
  static std::string TempFileName() {
    char folder[MAX_PATH + 1];
    char path[MAX_PATH + 1];
    if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "zrn", 0, path) == 0)
      throw std::runtime_error("cannot create a temporary file");
    return path;
  }

  THandle m_file;
};

// Quotes one argument so that the child's C runtime reads it back as it is.
std::string Quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

TRunResult Run(const std::vector<std::string>& args, bool mergeErr) {
  std::string commandLine;
  for (const std::string& arg : args) commandLine += (commandLine.empty() ? "" : " ") + Quoted(arg);
  const THandle input = OpenInheritable("NUL", GENERIC_READ, OPEN_EXISTING, 0);
  TCapture out;
  TCapture err;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = out.Handle();
  startup.hStdError = mergeErr ? out.Handle() : err.Handle();
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, SOURCE_DIR,
                      &startup, &process))
    throw std::runtime_error("cannot start " + args.front());
  const THandle child(process.hProcess);
  CloseHandle(process.hThread);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(child.get(), &exitCode);
  TRunResult result;
  result.out = out.Read();
  result.err = err.Read();
  // A program that crashed ends with an exception code, not an exit status.
  result.status = exitCode <= 255 ? static_cast<int>(exitCode) : -1;
  return result;
}

#else

const char kSeparator = '/';

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

#endif

}  // namespace

TRunResult RunZarn(const std::vector<std::string>& args) {
  std::vector<std::string> argv{ZARN_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, false);
}

#if !defined(_WIN32)
TRunResult RunShell(const std::string& script) {
  const char* inherited = std::getenv("PATH");
  const std::string path = Folder(ZARN_PATH) + ":" + (inherited ? inherited : "/usr/bin:/bin");
  return Run({"/usr/bin/env", "PATH=" + path, "/bin/sh", "-c", script}, true);
}
#endif

std::string DataFile(const std::string& name) { return "tests/zarn/data/" + name; }

std::string TestPlugin(const std::string& name) {
  return std::string(TEST_PLUGIN_DIR) + kSeparator + name + ".pi";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(std::filesystem::path(SOURCE_DIR) / path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace NZARNTEST
