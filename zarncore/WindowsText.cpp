#include "zarncore/WindowsText.h"

#include <windows.h>

#include <cstdio>

namespace NZARNCORE {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  std::string out(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr),
                  '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), static_cast<int>(out.size()),
                      nullptr, nullptr);
  return out;
}

std::wstring Utf16(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), static_cast<int>(out.size()));
  return out;
}

// The system's sentence, lower-cased at its start and without its full
// stop.
std::string SystemMessage(unsigned long code, const std::string& insert) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = length != 0 ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  words.erase(words.find_last_not_of(L" .\r\n") + 1);
  char number[32];
  std::snprintf(number, sizeof number, code > 0xFFFF ? "error 0x%08lX" : "error %lu", code);
  if (words.empty()) return number;
  if (words[0] >= L'A' && words[0] <= L'Z') words[0] = static_cast<wchar_t>(words[0] - L'A' + L'a');
  std::string message = Utf8(words);
  for (std::string::size_type at = 0; (at = message.find("%1", at)) != std::string::npos;
       at += insert.size()) {
    message.replace(at, 2, insert);
  }
  return message + " (" + number + ")";
}

}  // namespace NZARNCORE
