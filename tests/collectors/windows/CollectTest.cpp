// zarn collect under Wine, through the system's own interfaces: WMI, the
// registry and the event-log API. The tests add a PCI device, programs and
// a service to the machine, as an installer would, and remove them again.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zarn/ZarnRun.h"

namespace NZARNTEST {
namespace {

using NTESTS::operator<<;

const wchar_t kDevices[] = L"SYSTEM\\CurrentControlSet\\Enum\\PCI";
const wchar_t kAdapter[] = L"VEN_9005&DEV_0286&SUBSYS_02869005&REV_01\\4&2B8A5E7&0&0010";
const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A key made for a test at path below parent, with one text value; the
// first key of path goes, with all below it, when the test ends.
class TTestKey {
 public:
  TTestKey(HKEY root, const std::wstring& parent, const std::wstring& path, REGSAM view,
           const wchar_t* value, const std::wstring& text)
      : m_name(path.substr(0, path.find(L'\\'))) {
    RegCreateKeyExW(root, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &m_parent,
                    nullptr);
    EXPECT_EQ(RegSetKeyValueW(m_parent, path.c_str(), value, REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  ~TTestKey() {
    RegDeleteTreeW(m_parent, m_name.c_str());
    RegCloseKey(m_parent);
  }
  TTestKey(const TTestKey&) = delete;
  TTestKey& operator=(const TTestKey&) = delete;

 private:
  std::wstring m_name;
  HKEY m_parent = nullptr;
};

// A service registered for a test, never started.
class TTestService {
 public:
  explicit TTestService(const wchar_t* name)
      : m_manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
    m_service = CreateServiceW(m_manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                               SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                               L"C:\\windows\\system32\\notepad.exe", nullptr, nullptr, nullptr,
                               nullptr, nullptr);
    EXPECT_NE(m_service, nullptr);
  }
  ~TTestService() {
    DeleteService(m_service);
    CloseServiceHandle(m_service);
    CloseServiceHandle(m_manager);
  }
  TTestService(const TTestService&) = delete;
  TTestService& operator=(const TTestService&) = delete;

 private:
  SC_HANDLE m_manager;
  SC_HANDLE m_service = nullptr;
};

// The device tree lists a device instance whose key names its class.
std::unique_ptr<TTestKey> AdapterDevice() {
  return std::make_unique<TTestKey>(HKEY_LOCAL_MACHINE, kDevices, kAdapter, 0, L"ClassGUID",
                                    L"{4D36E97B-E325-11CE-BFC1-08002BE10318}");
}

std::unique_ptr<TTestKey> Program(HKEY root, REGSAM view) {
  return std::make_unique<TTestKey>(root, kUninstall, L"ZarnTestTarvexManager", view,
                                    L"DisplayName", L"Tarvex Manager 9.1");
}

const std::string kAdvice =
    R"({"level": 100, "text": "A Tarvex adapter is present but Tarvex Manager is not installed.Tarvex Manager may be obtained from the Qel Support site."})"
    "\n"
    R"({"level": 101, "text": "\nA Tarvex adapter is present in the system but Tarvex Manager is not installed.\nIt is recommended to install Tarvex Manager before re-running Zarn and submitting the file to Qel.\nThis will enhance the information contained within the report.\nTarvex Manager may be obtained from the Qel Support site.\n"})"
    "\n";
const std::string kNoAgent =
    R"({"level": 100, "text": "Tarvex manager is installed, but with no agent. For Zarn to collect logs from 4a, 4a-x, 4c, 4d, 3q, the agent needs to be installed"})"
    "\n";
const std::string kAgent =
    R"({"level": 3, "text": "The tarvex manager is installed and has tarvex manager agent!"})"
    "\n";

struct TMachineCase {
  std::string name;
  HKEY programs;  // where the Tarvex Manager program is listed; none when null
  REGSAM view;
  bool agent;
  std::string lines;  // what the analysis writes at levels 3, 100 and 101, but the services
  int status;
};

class Machine : public testing::TestWithParam<TMachineCase> {};

TEST_P(Machine, IsCollectedAndAnalyzed) {
  const auto adapter = AdapterDevice();
  std::unique_ptr<TTestKey> program;
  if (GetParam().programs) program = Program(GetParam().programs, GetParam().view);
  std::unique_ptr<TTestService> agent;
  if (GetParam().agent) agent = std::make_unique<TTestService>(L"TarvexManagerAgent");

  const TRunResult collected = RunZarn({"collect"});
  ASSERT_EQ(collected.status, 0) << collected.err;
  const TRunResult analysed =
      RunZarn({"analyze", "-", "--format", "jsonl", "--levels", "3,100,101"}, collected.out);
  std::istringstream out(analysed.out);
  std::string lines;
  // Which instance a line concerns counts the prefix's own services.
  const std::regex concerned(R"re(, "class": "[^"]*", "instance": "[^"]*")re");
  for (std::string line; std::getline(out, line);) {
    if (line.find("The tarvex manager system service is:") == std::string::npos)
      lines += std::regex_replace(line, concerned, "") + "\n";
  }
  EXPECT_EQ(lines, GetParam().lines);
  EXPECT_EQ(analysed.status, GetParam().status) << analysed.err;
}

INSTANTIATE_TEST_SUITE_P(
    Collect, Machine,
    testing::Values(TMachineCase{"AdapterAlone", nullptr, 0, false, kAdvice, 1},
                    TMachineCase{"ProgramWithoutAgent", HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, false,
                                 kNoAgent, 1},
                    TMachineCase{"ProgramOf32BitsAndAgent", HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY,
                                 true, kAgent, 6},
                    TMachineCase{"UsersProgramAndAgent", HKEY_CURRENT_USER, 0, true, kAgent, 6}),
    NTESTS::TCaseName());

// Wine's event-log query answers nothing: that class alone is unreadable.
// The adapter's classes follow, as every collector lists them. The version,
// host and time differ from build to build and machine to machine.
TEST(Collect, RecordsHowEachClassWasRead) {
  const TRunResult result = RunZarn({"collect"});
  const std::string record =
      result.out.substr(0, result.out.find("\n      \"QELSG_txSCSIProtocolController\"") + 1);
  EXPECT_EQ(
      std::regex_replace(record, std::regex(R"re(\n    "(version|host|time)": "[^"]*",)re"), ""),
      R"({
  "format": 1,
  "operatingSystemType": 18,
  "collection": {
    "collector": "zarn collect",
    "classes": {
      "QELSG_PCIDevice": {"source": "WMI: Win32_PnPEntity, the devices on the PCI bus", "state": "read"},
      "QELSG_InstalledApplication": {"source": "the registry's Uninstall keys", "state": "read"},
      "QELSG_SystemServiceInfo": {"source": "WMI: Win32_Service", "state": "read"},
      "QELSG_InstalledRPM": {"source": "the package manager", "state": "absent", "reason": "a Windows system lists its software in QELSG_InstalledApplication"},
      "QELSG_WindowsSystemEventLogRecord": {"source": "the System event log", "state": "unreadable", "reason": "the System event log could not be read, and the system gave no reason"},
)");
  EXPECT_EQ(result.status, 0);
}

// A Windows rename does not replace a file unless asked to.
TEST(Collect, ReplacesTheOutputFileWhole) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / "zarn-collect-test.json";
  std::ofstream(file) << "kept\n";
  const TRunResult result = RunZarn({"collect", "-o", file.string()});
  std::string first;
  std::getline(std::ifstream(file), first);
  std::filesystem::remove(file);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(first, "{");
}

// The check's work runs in zarn started again, which reads the state file
// and hands what it reported to the parent; the parent locks and replaces
// the file as Windows allows.
TEST(Check, ReportsAnEventOnce) {
  const std::filesystem::path state =
      std::filesystem::temp_directory_path() / "zarn-check-state.json";
  const std::vector<std::string> args = {"check", "--inventory", "tests/zarn/data/events.json",
                                         "--state", state.string()};
  const TRunResult first = RunZarn(args);
  const TRunResult second = RunZarn(args);
  std::filesystem::remove(state);
  std::filesystem::remove(state.string() + ".lock");
  EXPECT_EQ(first.status, 1) << first.out;
  EXPECT_EQ(second.out.substr(0, second.out.find(" (")),
            "TVXANAL OK: no findings, 1 event finding already reported");
  EXPECT_EQ(second.status, 0);
}

TEST(Collect, RefusesARoot) {
  const TRunResult result = RunZarn({"collect", "--root", "C:\\"});
  EXPECT_EQ(result.err,
            "zarn: error: --root: a Windows machine is collected live, through its own "
            "interfaces; collect a machine image on Linux\n");
  EXPECT_EQ(result.status, 2);
}

}  // namespace
}  // namespace NZARNTEST
