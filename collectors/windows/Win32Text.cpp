#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "collectors/SourceError.h"
#include "collectors/windows/WindowsSources.h"

namespace NZARNCOLLECT {

TDeadline::TDeadline(std::string source, std::chrono::milliseconds limit)
    : m_source(std::move(source)),
      m_limit(limit),
      m_end(std::chrono::steady_clock::now() + limit) {}

unsigned long TDeadline::RemainingMs() const {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      m_end - std::chrono::steady_clock::now());
  if (left.count() <= 0) {
    throw TSourceError("timed out: " + m_source + " did not answer within " + LimitText(m_limit));
  }
  return static_cast<unsigned long>(left.count());
}

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
// stop; the code alone when the system has no words for it.
std::string SystemMessage(unsigned long code) {
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
  return Utf8(words) + " (" + number + ")";
}

}  // namespace NZARNCOLLECT
