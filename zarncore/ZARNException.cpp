#include "host/ZARNException.h"

namespace NQELZARN20 {

std::string TranslateStatusCode(TZARNStatusCode status) {
  if (status == kZARNStatusNotAvailable) return "class or property not available";
  return "status " + std::to_string(status);
}

TZARNException::TZARNException(TZARNStatusCode status)
    : m_status(status), m_message(TranslateStatusCode(status)) {}

TZARNException::~TZARNException() = default;

TZARNStatusCode TZARNException::GetStatusCode() const { return m_status; }

const char* TZARNException::what() const noexcept { return m_message.c_str(); }

}  // namespace NQELZARN20
