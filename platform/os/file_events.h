#pragma once

#include "platform/os/file.h"

namespace os {

// Tells hooks (none: nothing to tell) of a change about to be made; the
// error their injector gives instead of making it (0: make it).
int tell(const Hooks* hooks, const Event& event);
// tell for a change that carries no data (a sync, a removal, a rename to
// target), as the status the change would have failed with.
Status told(const Hooks* hooks, Event::Kind kind, const std::string& path, const std::string* target = nullptr);
// Asks the injector only (a change never told to the observer).
int injected(const Hooks* hooks, const Event& event);

} // namespace os
