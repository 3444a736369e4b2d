#pragma once

#include "platform/os/file.h"

namespace os {

// Tells hooks (none: nothing to tell) of a change about to be made; the
// error their injector gives instead of making it (0: make it).
int tell(const Hooks* hooks, const Event& event);
// Asks the injector only (a change never told to the observer).
int injected(const Hooks* hooks, const Event& event);

} // namespace os
