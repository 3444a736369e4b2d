#include "platform/os/status.h"

#include <cstring>

namespace os {

std::string Status::text() const { return std::strerror(error_); }

} // namespace os
