#pragma once

#include <string>

#include "host/ZarnApi.h"

namespace NZARNCORE {

// Texts between the Windows API's UTF-16 and the UTF-8 of everything else.
ZARN_API std::string Utf8(const std::wstring& text);
ZARN_API std::wstring Utf16(const std::string& text);

// The system's words for an error code (a Win32 error or an HRESULT), as
// the end of a sentence: "access is denied (error 5)"; the code alone when
// the system has no words for it. A text that names its subject "%1" names
// it as insert.
ZARN_API std::string SystemMessage(unsigned long code, const std::string& insert = "%1");

}  // namespace NZARNCORE
