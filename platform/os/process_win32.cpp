#include "platform/os/process.h"

#include <windows.h>

namespace os {

long processId() { return long(GetCurrentProcessId()); }

} // namespace os
