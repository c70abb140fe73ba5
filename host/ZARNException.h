#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "host/ZarnApi.h"

namespace NQELZARN20 {

typedef std::int32_t TZARNStatusCode;

// The class or property asked for cannot be delivered.
const TZARNStatusCode kZARNStatusNotAvailable = 15;
// A value was asked for in a form it does not have.
const TZARNStatusCode kZARNStatusWrongType = 4;
// An argument outside what the operation accepts.
const TZARNStatusCode kZARNStatusBadArgument = 22;

ZARN_API std::string TranslateStatusCode(TZARNStatusCode status);

class ZARN_API TZARNException : public std::exception {
 public:
  explicit TZARNException(TZARNStatusCode status);
  ~TZARNException() override;
  TZARNStatusCode GetStatusCode() const;
  const char* what() const noexcept override;

 private:
  TZARNStatusCode m_status;
  std::string m_message;
};

}  // namespace NQELZARN20
