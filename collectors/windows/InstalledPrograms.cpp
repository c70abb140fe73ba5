#include <windows.h>

#include <cwchar>
#include <memory>
#include <type_traits>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/json/object.hpp>

#include "collectors/SourceError.h"
#include "collectors/windows/WindowsSources.h"
#include "zarncore/Schema.h"

namespace NZARNCOLLECT {

namespace {

using NZARNCORE::NSchema::TInstalledApplication;

const char* const kClass = TInstalledApplication::kClass;
const char kSource[] = "the registry's Uninstall keys";
const char kUsersNotRead[] = "not read: ";
const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The registry answers from memory; an answer that takes longer is stuck.
constexpr std::chrono::seconds kRegistryLimit{30};

// A key name is at most 255 characters long.
constexpr DWORD kKeyNameSize = 256;

struct TKeyClose {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using TKey = std::unique_ptr<std::remove_pointer_t<HKEY>, TKeyClose>;

// An Uninstall key, in one view of the registry, and its name as people
// write it.
struct TUninstallKey {
  HKEY root;
  std::wstring path;
  REGSAM view;
  std::string name;
};

// None when the key does not exist.
TKey Open(HKEY root, const std::wstring& path, REGSAM view, const std::string& name) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key);
  if (status == ERROR_FILE_NOT_FOUND) return TKey();
  if (status == ERROR_ACCESS_DENIED) throw TSourceError("no permission to read " + name);
  if (status != ERROR_SUCCESS) {
    throw TSourceError(name + " could not be read: " + SystemMessage(status));
  }
  return TKey(key);
}

std::vector<std::wstring> Subkeys(HKEY key, const std::string& name) {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t subkey[kKeyNameSize];
    DWORD length = kKeyNameSize;
    const LSTATUS status =
        RegEnumKeyExW(key, index, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return names;
    if (status != ERROR_SUCCESS) {
      throw TSourceError(name + " could not be listed: " + SystemMessage(status));
    }
    names.emplace_back(subkey, length);
  }
}

// A text value; null when it is missing or no text.
boost::json::value Text(HKEY key, const wchar_t* value) {
  DWORD size = 0;
  if (RegGetValueW(key, nullptr, value, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return nullptr;
  }
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(key, nullptr, value, RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return nullptr;
  }
  text.resize(std::wcslen(text.c_str()));
  return boost::json::value(Utf8(text));
}

// Each entry with a display name is a program; an entry that cannot be
// opened is left out.
void AddPrograms(const TUninstallKey& list, const TDeadline& deadline, TInstanceList& programs) {
  const TKey key = Open(list.root, list.path, list.view, list.name);
  if (!key) return;
  for (const std::wstring& entry : Subkeys(key.get(), list.name)) {
    deadline.RemainingMs();
    const std::string name = list.name + "\\" + Utf8(entry);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(key.get(), entry.c_str(), 0, KEY_READ | list.view, &opened) !=
        ERROR_SUCCESS) {
      continue;
    }
    const TKey program(opened);
    boost::json::value displayName = Text(program.get(), L"DisplayName");
    if (displayName.is_null() || displayName.get_string().empty()) continue;
    programs.Add(boost::json::object{
        {TInstalledApplication::kProductName, std::move(displayName)},
        {TInstalledApplication::kVersion, Text(program.get(), L"DisplayVersion")},
        {TInstalledApplication::kPublisher, Text(program.get(), L"Publisher")},
        {TInstalledApplication::kKey, name}});
  }
}

std::vector<TUninstallKey> MachineKeys() {
  return {
      {HKEY_LOCAL_MACHINE, kUninstall, KEY_WOW64_64KEY, "HKEY_LOCAL_MACHINE\\" + Utf8(kUninstall)},
      {HKEY_LOCAL_MACHINE, kUninstall, KEY_WOW64_32KEY,
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\"
       "Uninstall"}};
}

// The hives under HKEY_USERS are the users' loaded ones; .DEFAULT is the
// template of new profiles, and each SID_Classes a user's file
// associations.
std::vector<TUninstallKey> UserKeys() {
  std::vector<TUninstallKey> keys;
  for (const std::wstring& hive : Subkeys(HKEY_USERS, "HKEY_USERS")) {
    if (boost::algorithm::iequals(hive, L".DEFAULT") ||
        boost::algorithm::iends_with(hive, L"_Classes")) {
      continue;
    }
    const std::wstring path = hive + L"\\" + kUninstall;
    keys.push_back({HKEY_USERS, path, 0, "HKEY_USERS\\" + Utf8(path)});
  }
  return keys;
}

// A user's list that cannot be read leaves the class read in part; the
// machine's lists must be read, or the class is unreadable.
std::string AddUserPrograms(const TDeadline& deadline, TInstanceList& programs) {
  std::string notRead;
  try {
    for (const TUninstallKey& list : UserKeys()) {
      try {
        AddPrograms(list, deadline, programs);
      } catch (const TSourceError& error) {
        notRead += (notRead.empty() ? kUsersNotRead : "; ") + std::string(error.what());
      }
    }
  } catch (const TSourceError& error) {
    notRead = kUsersNotRead + std::string(error.what());
  }
  return notRead;
}

}  // namespace

TClassResult ReadInstalledPrograms(const TDeadline& collection) {
  const TDeadline deadline = collection.ForSource(kSource, kRegistryLimit);
  TInstanceList programs;
  std::string notRead;
  try {
    for (const TUninstallKey& list : MachineKeys()) AddPrograms(list, deadline, programs);
    notRead = AddUserPrograms(deadline, programs);
  } catch (const TSourceError& error) {
    return UnreadableClass(kClass, kSource, error.what());
  }
  if (!notRead.empty()) return PartialClass(kClass, kSource, std::move(programs), notRead);
  return ReadClass(kClass, kSource, std::move(programs));
}

}  // namespace NZARNCOLLECT
