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

} // namespace os
