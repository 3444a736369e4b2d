#pragma once

#include "platform/os/status.h"

#include <string>

namespace os {

// The <cerrno> code of a Win32 error (GetLastError()), EIO for one that has
// no close match.
int errnoOfWin32(unsigned long error);
// The error the last failed Win32 call left.
Status lastWin32Error();

// Paths and texts are UTF-8 inside and UTF-16 at every Win32 call. A text
// that is not valid UTF-8 widens to nothing (valid false).
std::wstring widen(const std::string& text, bool* valid = nullptr);
std::string narrow(const std::wstring& text);

} // namespace os
