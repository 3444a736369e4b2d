#include "platform/os/file_events.h"

namespace os {

int injected(const Hooks* hooks, const Event& event)
{
    return hooks && hooks->inject ? hooks->inject(event) : 0;
}

int tell(const Hooks* hooks, const Event& event)
{
    if (const int error = injected(hooks, event))
        return error;
    if (hooks && hooks->observe)
        hooks->observe(event);
    return 0;
}

Status told(const Hooks* hooks, Event::Kind kind, const std::string& path, const std::string* target)
{
    if (const int error = tell(hooks, Event{kind, path, 0, nullptr, 0, target}))
        return Status::failure(error);
    return {};
}

} // namespace os
