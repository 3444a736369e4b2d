#include "platform/os/process.h"

#include <unistd.h>

namespace os {

long processId() { return long(::getpid()); }

} // namespace os
