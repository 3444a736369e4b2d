#pragma once

#include "platform/os/file.h"

namespace os {

// Tells the observer of a change about to be made; the error the injector
// gives instead of making it (0: make it).
int tell(const Event& event);
// Asks the injector only (a change never told to the observer).
int injected(const Event& event);

} // namespace os
