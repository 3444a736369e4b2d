#pragma once

#include "platform/os/status.h"

#include <cerrno>

namespace os {

// The error the last failed system call left.
inline Status lastError() { return Status::failure(errno ? errno : EIO); }

} // namespace os
